#include "sim/FramePace.h"

#include <chrono>

namespace meterdesk::sim {

std::int64_t FramePace::FramesDue() const {
    const std::chrono::duration<double, std::milli> elapsed = clock_.Now() - start_;
    return static_cast<std::int64_t>(elapsed.count() / framePeriodMs_);
}

} // namespace meterdesk::sim
