// Scope: when the grid takes the rows waiting: at once after a quiet
// spell, at most every 400 ms under a stream, on a clock the test moves.
#include "record/GridRefreshPace.h"

#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

using namespace std::chrono_literals;

TEST(GridRefreshPace, RowsComeAtOnceThenAtMostTwiceAndAHalfASecond) {
    base::ManualClock clock;
    GridRefreshPace pace(clock);
    EXPECT_FALSE(pace.TakeDue()); // nothing waits
    pace.RowsWaiting();
    EXPECT_TRUE(pace.TakeDue()); // a lone row shows with the other views
    EXPECT_FALSE(pace.Waiting());

    // A stream: rows wait at every view refresh, every 200 ms.
    int shown = 0;
    for (int refresh = 1; refresh <= 20; ++refresh) {
        clock.Advance(200ms); // the view refresh
        pace.RowsWaiting();
        if (pace.TakeDue()) {
            ++shown;
            EXPECT_EQ(refresh % 2, 0) << refresh; // every other refresh
        } else {
            EXPECT_TRUE(pace.Waiting()); // the rows keep waiting for their turn
        }
    }
    EXPECT_EQ(shown, 10);
}

TEST(GridRefreshPace, ARefreshALittleEarlyStillCounts) {
    base::ManualClock clock;
    GridRefreshPace pace(clock);
    pace.RowsWaiting();
    ASSERT_TRUE(pace.TakeDue());
    pace.RowsWaiting();
    clock.Advance(349ms);
    EXPECT_FALSE(pace.TakeDue());
    clock.Advance(1ms); // a late timer made this refresh come 50 ms early
    EXPECT_TRUE(pace.TakeDue());
    clock.Advance(1h); // a quiet spell: the next row comes at once
    pace.RowsWaiting();
    EXPECT_TRUE(pace.TakeDue());
}

TEST(GridRefreshPace, APersonsOwnDoingIsShownAtTheNextRefresh) {
    base::ManualClock clock;
    GridRefreshPace pace(clock);
    pace.RowsWaiting();
    ASSERT_TRUE(pace.TakeDue());
    clock.Advance(200ms);
    pace.RowsWaitingNow(); // a file loaded right after a batch of logged rows
    EXPECT_TRUE(pace.TakeDue());
    clock.Advance(200ms);
    pace.RowsWaiting(); // logged rows after it keep the pace again
    EXPECT_FALSE(pace.TakeDue());
}

} // namespace
} // namespace meterdesk::record
