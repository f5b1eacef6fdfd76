#include "base/RefreshPace.h"

#include <algorithm>

namespace meterdesk::base {

std::chrono::milliseconds RefreshPace::Delay() const {
    if (!lastRefresh_) {
        return delay_;
    }
    const auto since =
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - *lastRefresh_);
    return std::max(delay_, streamPeriod_ - since);
}

} // namespace meterdesk::base
