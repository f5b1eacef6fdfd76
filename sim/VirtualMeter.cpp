#include "sim/VirtualMeter.h"

#include <array>
#include <cmath>
#include <utility>

namespace meterdesk::sim {

namespace {

constexpr double kNormalPeriodMs = 100.0; // ten frames a second
constexpr std::uint64_t kSilentAfterFrames = 30;

struct NamedScenario {
    std::string_view name;
    Scenario scenario;
};
constexpr std::array<NamedScenario, 10> kNames{
    {{"steady", Scenario::Steady},
     {"wander", Scenario::Wander},
     {"sweep", Scenario::Sweep},
     {"overload", Scenario::Overload},
     {"annunciators", Scenario::Annunciators},
     {"silent", Scenario::Silent},
     {"garbage", Scenario::Garbage},
     {"line-rate", Scenario::LineRate},
     {"line-rate-wander", Scenario::LineRateWander},
     {"line-rate-changing", Scenario::LineRateChanging}}};

// Every function code with the number of range codes of its table.
struct FunctionRanges {
    char code;
    std::uint8_t ranges;
};
constexpr std::array<FunctionRanges, 11> kSweep{{{'B', 5},
                                                 {'D', 2},
                                                 {'F', 2},
                                                 {'9', 1},
                                                 {'3', 6},
                                                 {'2', 6},
                                                 {'4', 1},
                                                 {'5', 1},
                                                 {'1', 1},
                                                 {'6', 8},
                                                 {'E', 1}}};
constexpr std::uint64_t kFramesPerSweepStep = 5;

// The function and range of sweep step `step` (counted around).
std::pair<char, std::uint8_t> SweepStep(std::uint64_t step) {
    std::uint64_t total = 0;
    for (const FunctionRanges& f : kSweep) {
        total += f.ranges;
    }
    step %= total;
    for (const FunctionRanges& f : kSweep) {
        if (step < f.ranges) {
            return {f.code, static_cast<std::uint8_t>(step)};
        }
        step -= f.ranges;
    }
    return {'B', 0};
}

std::array<std::uint8_t, 4> Digits(int value) {
    value = std::abs(value) % 10000;
    return {static_cast<std::uint8_t>(value / 1000), static_cast<std::uint8_t>(value / 100 % 10),
            static_cast<std::uint8_t>(value / 10 % 10), static_cast<std::uint8_t>(value % 10)};
}

MeterReading VoltsDc(int count, std::uint8_t range) {
    MeterReading r;
    r.functionCode = 'B';
    r.rangeCode = range;
    r.digits = Digits(count);
    r.negative = count < 0;
    r.dc = true;
    r.autoRange = true;
    return r;
}

} // namespace

std::optional<Scenario> ScenarioNamed(std::string_view name) {
    for (const NamedScenario& entry : kNames) {
        if (entry.name == name) {
            return entry.scenario;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ScenarioNames() {
    std::vector<std::string> names;
    for (const NamedScenario& entry : kNames) {
        names.emplace_back(entry.name);
    }
    return names;
}

VirtualMeter::VirtualMeter(Scenario scenario, std::uint32_t seed)
    : scenario_(scenario), random_(seed) {}

double VirtualMeter::FramePeriodMs() const {
    if (scenario_ == Scenario::LineRate || scenario_ == Scenario::LineRateWander ||
        scenario_ == Scenario::LineRateChanging) {
        return static_cast<double>(kFrameBytes) * 1000.0 / kLineBytesPerSecond;
    }
    return kNormalPeriodMs;
}

MeterReading VirtualMeter::ReadingAt(std::uint64_t frame) const {
    const auto n = static_cast<int>(frame % 100000);
    switch (scenario_) {
    case Scenario::Steady:
    case Scenario::Silent:
        return VoltsDc(1234, 1);
    case Scenario::Wander: {
        // 12 V with a slow swing and a little ripple in the last digit.
        const double volts = 12.0 + 0.8 * std::sin(n / 60.0) + 0.05 * std::sin(n * 1.7);
        return VoltsDc(static_cast<int>(std::lround(volts * 100)), 1);
    }
    case Scenario::Sweep: {
        const auto [code, range] = SweepStep(frame / kFramesPerSweepStep);
        MeterReading r = VoltsDc(1000 + n % 3000, range);
        r.functionCode = code;
        r.celsius = code == '4' && frame / kFramesPerSweepStep % 2 == 0;
        return r;
    }
    case Scenario::Overload: {
        MeterReading r = VoltsDc(n % 3 == 2 ? 512 : 0, 1);
        r.overload = n % 3 != 2;
        r.negative = n % 3 == 1;
        return r;
    }
    case Scenario::Annunciators: {
        MeterReading r = VoltsDc(2500, 1);
        const int which = n / 10 % 6;
        r.dc = which == 0;
        r.ac = which == 1;
        r.autoRange = which != 2;
        r.hold = which == 3;
        r.max = which == 4;
        r.min = which == 5;
        r.lowBattery = n / 60 % 2 == 1;
        return r;
    }
    case Scenario::Garbage:
    case Scenario::LineRate:
        return VoltsDc(n % 8000 - 4000, 3);
    case Scenario::LineRateWander: {
        // 1 to 9 V, swinging over about eleven seconds with some ripple: the
        // meter steps between its 6 V and 60 V ranges a few times a period.
        const double volts = 5.0 + 4.0 * std::sin(n / 300.0) + 0.02 * std::sin(n * 1.7);
        return volts < 6.0 ? VoltsDc(static_cast<int>(std::lround(volts * 1000)), 0)
                           : VoltsDc(static_cast<int>(std::lround(volts * 100)), 1);
    }
    case Scenario::LineRateChanging: {
        const auto [code, range] = SweepStep(frame);
        MeterReading r = VoltsDc(n % 8000 - 4000, range);
        r.functionCode = code;
        return r;
    }
    }
    return VoltsDc(0, 0);
}

std::vector<std::uint8_t> VirtualMeter::NextBytes() {
    if (scenario_ == Scenario::Silent && frame_ >= kSilentAfterFrames) {
        return {};
    }
    std::vector<std::uint8_t> bytes;
    if (scenario_ == Scenario::Garbage) {
        // Random bytes in front of the frame: the frame they join fails its
        // check and is dropped, and the next one decodes again.
        const int count = std::uniform_int_distribution<int>(0, 15)(random_);
        for (int i = 0; i < count; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(random_()));
        }
    }
    const LineFrame frame = EncodeFrame(ReadingAt(frame_));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    ++frame_;
    ++framesSent_;
    return bytes;
}

} // namespace meterdesk::sim
