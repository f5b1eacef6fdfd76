// Scope: how long a view's refresh waits: the short delay after a quiet
// spell, the stream period between refreshes under a steady stream.
#include "base/RefreshPace.h"

#include <gtest/gtest.h>

namespace meterdesk::base {
namespace {

using namespace std::chrono_literals;

TEST(RefreshPace, AFewReadingsASecondShowAfterTheShortDelay) {
    ManualClock clock;
    RefreshPace pace(clock, 100ms, 200ms);
    EXPECT_EQ(pace.Delay(), 100ms); // nothing shown yet
    for (int reading = 0; reading < 5; ++reading) {
        clock.Advance(100ms); // the refresh ran after its delay
        pace.Refreshed();
        clock.Advance(233ms); // a meter sending three readings a second
        EXPECT_EQ(pace.Delay(), 100ms);
    }
}

TEST(RefreshPace, AStreamIsShownFiveTimesASecond) {
    ManualClock clock;
    RefreshPace pace(clock, 100ms, 200ms);
    pace.Refreshed();
    clock.Advance(6ms); // the next frame at line rate
    EXPECT_EQ(pace.Delay(), 194ms);
    clock.Advance(194ms);
    pace.Refreshed();
    clock.Advance(150ms); // a change well after the refresh still waits the short delay
    EXPECT_EQ(pace.Delay(), 100ms);
    clock.Advance(1h);
    EXPECT_EQ(pace.Delay(), 100ms); // however long the quiet spell
}

} // namespace
} // namespace meterdesk::base
