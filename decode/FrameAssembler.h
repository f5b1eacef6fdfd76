#pragma once

#include "base/MeasurementState.h"
#include "decode/DisplayDecoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace meterdesk::decode {

// The window's diagnostic controls that frame assembly writes to: one line
// per HID data report, and the text of every finished HID frame.
struct AssemblySink {
    std::function<void(const std::string& reportLine)> HistoryLine;
    std::function<void(const std::string& frameText)> UsbText;
};

// Most lines the window keeps for the HID report history.
inline constexpr std::size_t kHistoryLineLimit = 2000;

// Collects the meter's bytes, from the serial line or from the bridge's
// input reports, into frames of hex digits, checks them and has the checked
// ones decoded. All four handlers run on the main thread.
class FrameAssembler {
public:
    // Most hex digits a frame in progress keeps. A frame that grows past
    // this fails its check, so a line that never sends a frame end cannot
    // grow memory without limit.
    static constexpr std::size_t kMaxFrameDigits = 4096;

    FrameAssembler(base::MeasurementState& state, DisplayDecoder& decoder);

    // Serial receive handlers: Heron frames end at 0x0D; Pipit frames at any
    // byte 0xE0..0xEF and are stored but not decoded.
    void HHeronRData(const std::uint8_t* DataPtr, std::uint32_t DataSize);
    void HPipitRData(const std::uint8_t* DataPtr, std::uint32_t DataSize);

    // HID input-report handlers. Data holds the report after its ID: the
    // count byte, then the payload.
    void HidHeronRData(std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);
    void HidPipitRData(std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);

    // Forgets the frames in progress: the link broke off, and what comes
    // after the gap must not complete a frame begun before it.
    void DropFramesInProgress();

    AssemblySink sink;

private:
    // The common start of both HID handlers; true when the report finishes
    // an open frame.
    bool TakeReport(std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size);
    void AppendRxDigit(std::uint8_t byte);
    void AppendRxDigits(const std::uint8_t* from, const std::uint8_t* to);
    void ClearRx();
    void ClearHid();
    // The low digits of the first `count` bytes collected in HidHex.
    std::string HidLowDigits(std::size_t count) const;

    base::MeasurementState& state_;
    DisplayDecoder& decoder_;
    bool rxOverflow_ = false;
    bool hidOverflow_ = false;
    std::string reportLine_;
};

} // namespace meterdesk::decode
