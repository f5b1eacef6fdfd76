#pragma once

#include <chrono>
#include <memory>

namespace meterdesk::base {

// A monotonic clock, for paces measured between events (how long since the
// grid last took rows). The window never reads a clock itself, so tests can
// put time where they need it.
class SteadyClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~SteadyClock() = default;
    virtual time_point Now() const = 0;
};

// std::chrono::steady_clock.
std::unique_ptr<SteadyClock> MakeSteadyClock();

// A clock that stands still until the test moves it.
class ManualClock final : public SteadyClock {
public:
    time_point Now() const override { return now_; }
    void Advance(std::chrono::steady_clock::duration by) { now_ += by; }

private:
    time_point now_{std::chrono::hours(1)};
};

} // namespace meterdesk::base
