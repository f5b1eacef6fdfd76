#pragma once

#include "base/Clock.h"

#include <cstdint>

namespace meterdesk::sim {

// The meter's pace: how many frames a meter that started talking when this
// was made has sent by now, so a sender catches up whatever its timer's
// jitter.
class FramePace {
public:
    FramePace(const base::SteadyClock& clock, double framePeriodMs)
        : clock_(clock), start_(clock.Now()), framePeriodMs_(framePeriodMs) {}

    std::int64_t FramesDue() const;

private:
    const base::SteadyClock& clock_;
    base::SteadyClock::time_point start_;
    double framePeriodMs_;
};

} // namespace meterdesk::sim
