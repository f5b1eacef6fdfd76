#pragma once

#include "base/Clock.h"

#include <chrono>
#include <optional>

namespace meterdesk::base {

// The views that follow the meter (the replica, the bar, the judge panel,
// the trace, the chart) wait this long after a change, however fast frames
// come, gathering what the next frames change too: repainting costs.
inline constexpr std::chrono::milliseconds kViewRefreshDelay{100};
// Under a steady stream their refreshes come this far apart.
inline constexpr std::chrono::milliseconds kStreamRefreshPeriod{200};

// How long a view's coalescing refresh waits once a change comes. A change
// after a quiet spell shows after the short delay; under a steady stream
// the refreshes keep the stream period apart. At the meter's full line rate
// repainting is the window's main cost, and a display that changes faster
// than five times a second is not read anyway, while a meter sending a few
// readings a second is shown as promptly as ever.
class RefreshPace {
public:
    RefreshPace(const SteadyClock& clock, std::chrono::milliseconds delay,
                std::chrono::milliseconds streamPeriod)
        : clock_(clock), delay_(delay), streamPeriod_(streamPeriod) {}

    // The wait of a refresh started now.
    std::chrono::milliseconds Delay() const;
    // The refresh has run.
    void Refreshed() { lastRefresh_ = clock_.Now(); }

private:
    const SteadyClock& clock_;
    std::chrono::milliseconds delay_;
    std::chrono::milliseconds streamPeriod_;
    std::optional<SteadyClock::time_point> lastRefresh_;
};

} // namespace meterdesk::base
