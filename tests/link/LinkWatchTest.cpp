// Scope: the link watch's ticks: the third tick without a decoded frame
// calls the link idle, a frame starts the count again, and ticks that come
// while the idle step waits in a message box.
#include "link/LinkWatch.h"

#include <gtest/gtest.h>

namespace meterdesk::link {
namespace {

TEST(LinkWatch, TheThirdTickWithoutAFrameCallsTheLinkIdle) {
    base::MeasurementState state;
    int idle = 0;
    LinkWatch watch(state, [&] { ++idle; });
    watch.Tick();
    watch.Tick();
    EXPECT_EQ(idle, 0);
    EXPECT_EQ(state.LinkIdleTicks, 2);
    watch.Tick();
    EXPECT_EQ(idle, 1);
    EXPECT_EQ(state.LinkIdleTicks, 0);
    for (int tick = 0; tick < 6; ++tick) { // still quiet: every third tick
        watch.Tick();
    }
    EXPECT_EQ(idle, 3);
}

TEST(LinkWatch, FramesKeepTheLinkAlive) {
    base::MeasurementState state;
    int idle = 0;
    LinkWatch watch(state, [&] { ++idle; });
    for (int tick = 0; tick < 20; ++tick) {
        watch.Tick();
        if (tick % 2 == 1) {
            state.LinkIdleTicks = 0; // a decoded frame
        }
    }
    EXPECT_EQ(idle, 0);
}

TEST(LinkWatch, TicksDuringTheIdleStepCountOnlyUntilItReturns) {
    // The idle step may wait in a message box while the timer goes on.
    base::MeasurementState state;
    int idle = 0;
    LinkWatch* self = nullptr;
    LinkWatch watch(state, [&] {
        if (++idle == 1) {
            for (int tick = 0; tick < 3; ++tick) {
                self->Tick();
            }
        }
    });
    self = &watch;
    for (int tick = 0; tick < 3; ++tick) {
        watch.Tick();
    }
    EXPECT_EQ(idle, 2);                // once, and once more from the ticks inside it
    EXPECT_EQ(state.LinkIdleTicks, 0); // the outer step ends the count
}

} // namespace
} // namespace meterdesk::link
