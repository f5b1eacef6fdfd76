#pragma once

#include <cstdint>
#include <functional>

namespace meterdesk::link {

// The serial port component: the settings the window gives it and the
// handler it delivers received bytes to. Opening, line programming and the
// poll arrive with the serial link.
class TCommPortDriver {
public:
    using TComPortReceiveDataEvent = std::function<void(
        TCommPortDriver& Sender, const std::uint8_t* DataPtr, std::int32_t DataSize)>;

    std::int32_t ComPortSpeed = 9600; // bit/s
    TComPortReceiveDataEvent OnReceiveData;
};

} // namespace meterdesk::link
