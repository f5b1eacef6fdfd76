#pragma once

#include "link/CommPortDriver.h"
#include "link/SerialPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace meterdesk::link {

// The /dev/serial/by-id name that leads to `devicePath`, or empty when
// there is none (an on-board port, a pseudo-terminal). udev gives an adapter
// that comes back under another ttyUSB number the same by-id name. `devRoot`
// is "/dev" except in tests.
std::string FindSerialById(const std::string& devicePath, const std::string& devRoot);

// Where the device that vanished from `devicePath` is now: the device its
// by-id name leads to when it had one and that name is back, otherwise
// `devicePath` itself once it exists again; empty while it is away.
std::string ReturnedDevicePath(const std::string& devicePath, const std::string& byIdName);

// Waits for a serial port that vanished while the user had it connected,
// and reopens it with the driver's settings when the same device is back.
// Everything on the main thread; the retries run on the injected timer.
class SerialReconnect {
public:
    // How often the device is looked for while it is away.
    static constexpr std::uint16_t kRetryMs = 250;

    SerialReconnect(TCommPortDriver& driver, std::unique_ptr<PollTimer> timer,
                    std::string devRoot = "/dev");
    SerialReconnect(const SerialReconnect&) = delete;
    SerialReconnect& operator=(const SerialReconnect&) = delete;

    // The user connected and the port is open: remembers which device it is.
    void Watch();
    // The user disconnected or stopped waiting.
    void Stop();
    // The driver's OnPortVanished: starts waiting when the port was watched.
    void PortVanished();

    bool Waiting() const { return waiting_; }
    // The device waited for, or last reopened.
    const std::string& DevicePath() const { return devicePath_; }

    // Told when the wait starts and when the port is open again.
    std::function<void()> OnLost;
    std::function<void()> OnBack;

private:
    void Retry();

    TCommPortDriver& driver_;
    std::unique_ptr<PollTimer> timer_;
    std::string devRoot_;
    bool watching_ = false;
    bool waiting_ = false;
    std::string devicePath_;
    std::string byIdName_;
};

} // namespace meterdesk::link
