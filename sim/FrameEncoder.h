#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace meterdesk::sim {

// What a meter of the Heron family shows, in the terms of its frame: the
// codes and flags it puts on the line. Digits and codes are 0..15 so that
// tests can also send what a real meter never would.
struct MeterReading {
    char functionCode = 'B';              // hex digit: 'B' voltage, '3' resistance, ...
    std::uint8_t rangeCode = 0;           // 0..15
    std::array<std::uint8_t, 4> digits{}; // leftmost first, 0..15
    bool celsius = false;                 // temperature scale select
    bool negative = false;
    bool lowBattery = false;
    bool overload = false;
    bool hold = false;
    bool max = false;
    bool min = false;
    bool dc = false;
    bool ac = false;
    bool autoRange = false;
    bool linkAnnunciators = false; // the RS-232 annunciators (not on every model)

    bool operator==(const MeterReading&) const = default;
};

// One frame on the line: nine data bytes, carriage return, line feed.
inline constexpr std::size_t kFrameBytes = 11;
using LineFrame = std::array<std::uint8_t, kFrameBytes>;

// The bytes the meter sends for a reading. Data bytes carry the display in
// their low four bits; their high four bits are 0x3, as on the real line.
LineFrame EncodeFrame(const MeterReading& reading);

// The frame text decoding sees for a reading: "A", nine data digits, "D".
std::array<char, kFrameBytes> EncodeFrameText(const MeterReading& reading);

// One input report of the "USB to Serial" bridge, as read without the report
// ID: a count byte 0xF0 | n and up to seven serial bytes, zero padded.
inline constexpr std::size_t kBridgeReportBytes = 8;
inline constexpr std::size_t kBridgePayloadBytes = kBridgeReportBytes - 1;
using BridgeReport = std::array<std::uint8_t, kBridgeReportBytes>;

// The data reports that carry `bytes` in order, at most seven bytes each.
std::vector<BridgeReport> EncodeBridgeReports(std::span<const std::uint8_t> bytes);

// A report without data (count 0), which the bridge sends while the line is
// quiet and which ends a frame on the USB path.
BridgeReport IdleBridgeReport();

} // namespace meterdesk::sim
