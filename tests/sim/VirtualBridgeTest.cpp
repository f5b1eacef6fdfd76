// Scope: the virtual "USB to Serial" cable: silent until set up, then the
// meter's frames in bridge reports with reports without data between them,
// paced in time and decodable on the USB path.
#include "sim/VirtualBridge.h"

#include "tests/support/DecodingChain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>

namespace meterdesk::sim {
namespace {

constexpr std::array<std::uint8_t, 6> kSetUp19200{0x00, 0x00, 0x4B, 0x00, 0x00, 0x03};

TEST(VirtualBridge, SendsNothingUntilSetUpThenReportsWithIdFirst) {
    VirtualBridge bridge(Scenario::Steady);
    std::array<std::uint8_t, 9> buffer{};
    EXPECT_EQ(bridge.Read(buffer.data(), buffer.size(), 20).status, link::HidReadStatus::TimedOut);
    EXPECT_EQ(bridge.BitRate(), 0);

    ASSERT_TRUE(bridge.SetFeature(kSetUp19200.data(), kSetUp19200.size()));
    EXPECT_EQ(bridge.BitRate(), 19200);
    const link::HidReadResult read = bridge.Read(buffer.data(), buffer.size(), 5000);
    ASSERT_EQ(read.status, link::HidReadStatus::Report);
    EXPECT_EQ(read.bytes, 9U);
    EXPECT_EQ(buffer[0], 0x00);        // report ID
    EXPECT_EQ(buffer[1], 0xF7);        // seven bytes of the frame
    EXPECT_EQ(buffer[2] & 0xF0, 0x30); // a data byte of the frame

    bridge.Disconnect();
    const link::HidReadResult pulled = bridge.Read(buffer.data(), buffer.size(), 20);
    EXPECT_EQ(pulled.status, link::HidReadStatus::Failed);
    EXPECT_EQ(pulled.error, static_cast<std::uint32_t>(ENODEV));
}

TEST(VirtualBridge, StreamsEachFrameWithIdleReportsBetween) {
    VirtualBridge bridge(Scenario::Wander);
    ASSERT_TRUE(bridge.SetFeature(kSetUp19200.data(), kSetUp19200.size()));
    VirtualMeter expected(Scenario::Wander);
    testing::DecodingChain chain;
    std::vector<std::string> frames;
    chain.decoder.handOffs.ReadingReady = [&] { frames.push_back(chain.state.FrameText); };

    int idleInRow = 0;
    double lastDue = -1;
    for (int i = 0; i < 600; ++i) {
        const VirtualBridge::TimedReport next = bridge.NextReport();
        const auto& report = next.report;
        EXPECT_GT(next.dueMs, lastDue);
        chain.FeedReport({report.begin(), report.end()});
        if ((report[0] & 0x0F) == 0) {
            if (idleInRow > 0) {
                EXPECT_DOUBLE_EQ(next.dueMs - lastDue, 10.0) << i;
            }
            ++idleInRow;
        } else if (idleInRow > 0) {
            // A new frame: on the meter's 100 ms pace, after 9 or 10 idle reports.
            EXPECT_THAT(idleInRow, ::testing::AllOf(::testing::Ge(9), ::testing::Le(10)));
            const double start = 100.0 * static_cast<double>(frames.size());
            EXPECT_GE(next.dueMs, start);
            EXPECT_LT(next.dueMs, start + 10.0);
            idleInRow = 0;
        }
        lastDue = next.dueMs;
    }
    ASSERT_GE(frames.size(), 50U);
    for (const std::string& frame : frames) {
        const auto text = EncodeFrameText(expected.NextReading());
        expected.NextBytes();
        EXPECT_EQ(frame, std::string(text.begin(), text.end()));
    }
}

} // namespace
} // namespace meterdesk::sim
