#include "sim/FrameEncoder.h"

#include <algorithm>

namespace meterdesk::sim {

namespace {

std::uint8_t FunctionNibble(char code) {
    if (code >= '0' && code <= '9') {
        return static_cast<std::uint8_t>(code - '0');
    }
    if (code >= 'A' && code <= 'F') {
        return static_cast<std::uint8_t>(code - 'A' + 10);
    }
    return 0;
}

std::uint8_t Bits(bool w8, bool w4, bool w2, bool w1) {
    return static_cast<std::uint8_t>((w8 ? 8U : 0U) | (w4 ? 4U : 0U) | (w2 ? 2U : 0U) |
                                     (w1 ? 1U : 0U));
}

// The nine display nibbles in line order.
std::array<std::uint8_t, 9> Nibbles(const MeterReading& r) {
    return {static_cast<std::uint8_t>(r.rangeCode & 0x0FU),
            static_cast<std::uint8_t>(r.digits[0] & 0x0FU),
            static_cast<std::uint8_t>(r.digits[1] & 0x0FU),
            static_cast<std::uint8_t>(r.digits[2] & 0x0FU),
            static_cast<std::uint8_t>(r.digits[3] & 0x0FU),
            FunctionNibble(r.functionCode),
            Bits(r.celsius, r.negative, r.lowBattery, r.overload),
            Bits(r.hold, r.max, r.min, false),
            Bits(r.dc, r.ac, r.autoRange, !r.linkAnnunciators)};
}

} // namespace

LineFrame EncodeFrame(const MeterReading& reading) {
    LineFrame frame{};
    const auto nibbles = Nibbles(reading);
    std::transform(nibbles.begin(), nibbles.end(), frame.begin(),
                   [](std::uint8_t n) { return static_cast<std::uint8_t>(0x30U | n); });
    frame[9] = 0x0D;
    frame[10] = 0x0A;
    return frame;
}

std::array<char, kFrameBytes> EncodeFrameText(const MeterReading& reading) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::array<char, kFrameBytes> text{};
    text[0] = 'A';
    const auto nibbles = Nibbles(reading);
    std::transform(nibbles.begin(), nibbles.end(), text.begin() + 1,
                   [&](std::uint8_t n) { return kHex[n]; });
    text[10] = 'D';
    return text;
}

std::vector<BridgeReport> EncodeBridgeReports(std::span<const std::uint8_t> bytes) {
    std::vector<BridgeReport> reports;
    for (std::size_t start = 0; start < bytes.size(); start += kBridgePayloadBytes) {
        const std::size_t n = std::min(kBridgePayloadBytes, bytes.size() - start);
        BridgeReport report{};
        report[0] = static_cast<std::uint8_t>(0xF0U | n);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), n, report.begin() + 1);
        reports.push_back(report);
    }
    return reports;
}

BridgeReport IdleBridgeReport() {
    return BridgeReport{0xF0};
}

} // namespace meterdesk::sim
