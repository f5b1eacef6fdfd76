#include "record/GridRefreshPace.h"

namespace meterdesk::record {

bool GridRefreshPace::TakeDue() {
    if (!waiting_) {
        return false;
    }
    const auto now = clock_.Now();
    if (!now_ && lastShown_ && now - *lastShown_ < kPeriod - kSlack) {
        return false;
    }
    waiting_ = false;
    now_ = false;
    lastShown_ = now;
    return true;
}

} // namespace meterdesk::record
