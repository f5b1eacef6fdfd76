#pragma once

#include "sim/FrameEncoder.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::sim {

// What the virtual meter does.
enum class Scenario : std::uint8_t {
    Steady,           // one reading, over and over
    Wander,           // a DC voltage drifting slowly, as on a bench supply
    Sweep,            // every function with every range of its table
    Overload,         // overload of both signs, between normal readings
    Annunciators,     // AC, DC, AUTO, MANU, HOLD, MAX, MIN, low battery in turn
    Silent,           // three seconds of readings, then nothing
    Garbage,          // readings with random bytes between the frames
    LineRate,         // frames back to back at the full 19200 baud, counting one by one
    LineRateWander,   // at line rate: DC volts on auto range wandering, stepping range now and then
    LineRateChanging, // at line rate, counting: another function and range every frame
};

// The scenario of a name ("steady", "line-rate", ...).
std::optional<Scenario> ScenarioNamed(std::string_view name);
// Every scenario's name, for the help text.
std::vector<std::string> ScenarioNames();

// A meter that sends what a scenario makes it show: frame after frame, each
// as the bytes on the serial line, at the scenario's pace.
class VirtualMeter {
public:
    explicit VirtualMeter(Scenario scenario, std::uint32_t seed = 1);

    // Milliseconds from one frame to the next.
    double FramePeriodMs() const;

    // The bytes of the next frame (with garbage around it in that scenario);
    // empty once a silent meter has gone quiet.
    std::vector<std::uint8_t> NextBytes();

    // The reading the next frame shows, for tests.
    MeterReading NextReading() const { return ReadingAt(frame_); }

    std::uint64_t FramesSent() const { return framesSent_; }

private:
    MeterReading ReadingAt(std::uint64_t frame) const;

    Scenario scenario_;
    std::mt19937 random_;
    std::uint64_t frame_ = 0;
    std::uint64_t framesSent_ = 0;
};

// Bytes per second at 19200 baud with 8N1 framing (ten bits a byte).
inline constexpr double kLineBytesPerSecond = 1920.0;

} // namespace meterdesk::sim
