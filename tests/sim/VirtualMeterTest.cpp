// Scope: the virtual meter's scenarios, decoded through the serial path,
// and its pace.
#include "sim/VirtualMeter.h"

#include "base/Clock.h"
#include "sim/FramePace.h"
#include "tests/support/DecodingChain.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace meterdesk::sim {
namespace {

using testing::DecodingChain;

// Runs a scenario through assembly and decoding; returns the frames decoded.
int Decode(VirtualMeter& meter, DecodingChain& chain, int frames,
           std::set<std::string>* units = nullptr) {
    int decoded = 0;
    chain.decoder.handOffs.ReadingReady = [&] {
        ++decoded;
        if (units != nullptr) {
            units->insert(chain.state.ReadingUnit);
        }
    };
    chain.FeedSerial({0x0A});
    for (int i = 0; i < frames; ++i) {
        chain.FeedSerial(meter.NextBytes());
    }
    return decoded;
}

TEST(VirtualMeter, EveryScenarioHasAName) {
    for (const std::string& name : ScenarioNames()) {
        EXPECT_TRUE(ScenarioNamed(name).has_value()) << name;
    }
    EXPECT_FALSE(ScenarioNamed("loud").has_value());
}

TEST(VirtualMeter, SweepVisitsEveryFunctionAndDecodesEachFrame) {
    VirtualMeter meter(Scenario::Sweep);
    DecodingChain chain;
    std::set<std::string> units;
    EXPECT_EQ(Decode(meter, chain, 34 * 5, &units), 34 * 5);
    for (const char* unit : {"V", "mV", "uA", "mA", "A", "*", "k*", "M*", "Hz", "kHz", "MHz", "#",
                             "&", ")", "nF", "uF", "mF", ""}) {
        EXPECT_EQ(units.count(unit), 1U) << unit;
    }
}

TEST(VirtualMeter, OverloadShowsBothSigns) {
    VirtualMeter meter(Scenario::Overload);
    DecodingChain chain;
    std::set<std::string> values;
    chain.decoder.handOffs.ReadingReady = [&] { values.insert(chain.state.ReadingValue); };
    chain.FeedSerial({0x0A});
    for (int i = 0; i < 3; ++i) {
        chain.FeedSerial(meter.NextBytes());
    }
    EXPECT_EQ(values, (std::set<std::string>{"0.L", "-0.L", "05.12"}));
}

TEST(VirtualMeter, SilentMeterStopsAndGarbageCostsOnlyTheFramesItTouches) {
    VirtualMeter silent(Scenario::Silent);
    DecodingChain quiet;
    EXPECT_EQ(Decode(silent, quiet, 100), 30);
    EXPECT_TRUE(silent.NextBytes().empty());

    VirtualMeter noisy(Scenario::Garbage, 7);
    DecodingChain chain;
    const int decoded = Decode(noisy, chain, 200);
    EXPECT_GT(decoded, 0);
    EXPECT_LT(decoded, 200);
}

TEST(VirtualMeter, LineRateFillsTheLine) {
    const VirtualMeter meter(Scenario::LineRate);
    // Eleven bytes of ten bits at 19200 baud.
    EXPECT_NEAR(meter.FramePeriodMs(), 5.729, 0.001);
    EXPECT_DOUBLE_EQ(VirtualMeter(Scenario::Steady).FramePeriodMs(), 100.0);
}

TEST(FramePace, FramesFallDueAtTheMetersPaceWhateverTheTimer) {
    base::ManualClock clock;
    const FramePace pace(clock, 5.75);
    EXPECT_EQ(pace.FramesDue(), 0);
    clock.Advance(std::chrono::milliseconds(5));
    EXPECT_EQ(pace.FramesDue(), 0);
    clock.Advance(std::chrono::milliseconds(1));
    EXPECT_EQ(pace.FramesDue(), 1);
    clock.Advance(std::chrono::milliseconds(994)); // a timer that slept a second
    EXPECT_EQ(pace.FramesDue(), 173);
}

} // namespace
} // namespace meterdesk::sim
