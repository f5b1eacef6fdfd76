#include "link/LinkWatch.h"

namespace meterdesk::link {

void LinkWatch::Tick() {
    if (state_.LinkIdleTicks != 2) {
        ++state_.LinkIdleTicks;
        return;
    }
    // onIdle may wait in a message box while ticks go on; the count starts
    // again only once it returned.
    if (onIdle_) {
        onIdle_();
    }
    state_.LinkIdleTicks = 0;
}

} // namespace meterdesk::link
