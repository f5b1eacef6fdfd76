#pragma once

#include "base/MeasurementState.h"

#include <functional>
#include <utility>

namespace meterdesk::link {

// The link indicator's watch, ticked every 100 ms. Decoding resets
// LinkIdleTicks at every frame; the watch counts it up, and on the third
// tick without a frame the link counts as idle: `onIdle` runs (the
// indicator goes back, the USB link checks for a silent meter), then the
// count starts again.
class LinkWatch {
public:
    LinkWatch(base::MeasurementState& state, std::function<void()> onIdle)
        : state_(state), onIdle_(std::move(onIdle)) {}

    void Tick();

private:
    base::MeasurementState& state_;
    std::function<void()> onIdle_;
};

} // namespace meterdesk::link
