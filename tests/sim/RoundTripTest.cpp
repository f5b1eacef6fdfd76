// Scope: readings encoded by the virtual meter come back out of both
// assembly paths, in any chunking, as the same reading.
#include "sim/FrameEncoder.h"
#include "tests/support/DecodingChain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace meterdesk::sim {
namespace {

using testing::DecodingChain;

constexpr std::array<char, 9> kFunctions{'B', 'D', 'F', '9', '3', '2', '4', '6', 'E'};

MeterReading RandomReading(std::mt19937& rng) {
    auto coin = [&] { return std::bernoulli_distribution(0.3)(rng); };
    MeterReading r;
    r.functionCode = kFunctions[std::uniform_int_distribution<std::size_t>(0, 8)(rng)];
    r.rangeCode = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 7)(rng));
    for (auto& digit : r.digits) {
        digit = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 9)(rng));
    }
    r.celsius = coin();
    r.negative = coin();
    r.lowBattery = coin();
    r.overload = coin();
    r.hold = coin();
    r.max = coin();
    r.min = coin();
    r.dc = coin();
    r.ac = coin();
    r.autoRange = coin();
    return r;
}

struct Texts {
    std::string value, unit, coupling, range;
    float number;
    bool operator==(const Texts&) const = default;
};

Texts TextsOf(const DecodingChain& chain) {
    const auto& s = chain.state;
    return {s.ReadingValue, s.ReadingUnit, s.ReadingCoupling, s.ReadingRange, s.ReadingNumber};
}

// What the reading must read as, whatever its unit: sign, digits, coupling
// and range mode come straight from the reading.
void ExpectMatchesReading(const Texts& t, const MeterReading& r) {
    std::string digits;
    std::copy_if(t.value.begin(), t.value.end(), std::back_inserter(digits),
                 [](char c) { return c != '.' && c != '-'; });
    EXPECT_EQ(t.value.starts_with('-'), r.negative);
    if (r.overload) {
        EXPECT_EQ(digits, "0L");
        EXPECT_EQ(t.number, r.negative ? -4001.0F : 4001.0F);
    } else {
        std::string expected;
        for (auto d : r.digits) {
            expected += static_cast<char>('0' + d);
        }
        EXPECT_EQ(digits, expected);
        EXPECT_EQ(t.number, (r.negative ? -1.0F : 1.0F) * std::stof(expected));
    }
    EXPECT_EQ(t.coupling, r.dc ? "DC" : r.ac ? "AC" : "");
    EXPECT_EQ(t.range, r.autoRange ? "AUTO" : "MANU");
}

TEST(RoundTrip, RandomReadingsSurviveSerialAndBridgePaths) {
    std::mt19937 rng(20261209);
    DecodingChain direct;
    DecodingChain serial;
    DecodingChain bridge;
    serial.FeedSerial({0x0A}); // the line feed a previous frame would have left
    std::vector<std::uint8_t> pending;

    for (int i = 0; i < 2000; ++i) {
        const MeterReading reading = RandomReading(rng);
        SCOPED_TRACE(::testing::Message() << "reading " << i);
        const auto text = EncodeFrameText(reading);
        ASSERT_TRUE(direct.DecodeText(std::string(text.begin(), text.end())));
        const Texts expected = TextsOf(direct);
        ExpectMatchesReading(expected, reading);

        // Serial: this frame's bytes cut at random places, joined to the
        // previous frame's tail and the next frame's head.
        const LineFrame frame = EncodeFrame(reading);
        pending.insert(pending.end(), frame.begin(), frame.begin() + 10); // up to CR
        std::size_t at = 0;
        while (at < pending.size()) {
            const std::size_t n = std::min<std::size_t>(
                pending.size() - at, std::uniform_int_distribution<std::size_t>(1, 8)(rng));
            serial.FeedSerial({pending.begin() + static_cast<std::ptrdiff_t>(at),
                               pending.begin() + static_cast<std::ptrdiff_t>(at + n)});
            at += n;
        }
        pending.assign(1, frame[10]); // the line feed opens the next frame
        EXPECT_EQ(TextsOf(serial), expected);

        for (const BridgeReport& report : EncodeBridgeReports(frame)) {
            bridge.FeedReport({report.begin(), report.end()});
        }
        const BridgeReport idle = IdleBridgeReport();
        bridge.FeedReport({idle.begin(), idle.end()});
        EXPECT_EQ(TextsOf(bridge), expected);
    }
    EXPECT_EQ(serial.decoder.SkippedFrames(), 0U);
    EXPECT_EQ(bridge.decoder.SkippedFrames(), 0U);
}

TEST(RoundTrip, BridgeReportsCarryAtMostSevenBytes) {
    const std::vector<std::uint8_t> bytes(11, 0x33);
    const auto reports = EncodeBridgeReports(bytes);
    ASSERT_EQ(reports.size(), 2U);
    EXPECT_EQ(reports[0][0], 0xF7);
    EXPECT_EQ(reports[1][0], 0xF4);
    EXPECT_EQ(reports[1][5], 0x00);
    EXPECT_EQ(IdleBridgeReport()[0], 0xF0);
}

} // namespace
} // namespace meterdesk::sim
