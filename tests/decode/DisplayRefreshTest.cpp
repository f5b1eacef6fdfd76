// Scope: what the display's views take at a refresh: the replica once
// however many frames changed it, the bar's latest position, the trace's
// newest lines.
#include "decode/DisplayRefresh.h"

#include <gtest/gtest.h>

namespace meterdesk::decode {
namespace {

TEST(DisplayRefresh, ARefreshTakesTheLatestOfEachViewOnce) {
    DisplayRefresh refresh;
    EXPECT_FALSE(refresh.Pending());
    for (int frame = 0; frame < 12; ++frame) { // one poll's worth
        refresh.PanelChanged();
        refresh.BarAt(frame);
        refresh.TraceFrame("A1123" + std::to_string(frame) + "B00AD");
    }
    EXPECT_TRUE(refresh.Pending());
    const DisplayUpdate update = refresh.Take();
    EXPECT_TRUE(update.panel);
    EXPECT_EQ(update.bar, 11);
    ASSERT_EQ(update.trace.size(), 12U);
    EXPECT_EQ(update.trace.front(), "A11230B00AD");
    EXPECT_EQ(update.trace.back(), "A112311B00AD");

    EXPECT_FALSE(refresh.Pending());
    const DisplayUpdate none = refresh.Take();
    EXPECT_FALSE(none.panel);
    EXPECT_FALSE(none.bar);
    EXPECT_TRUE(none.trace.empty());
    refresh.BarAt(3); // each view on its own
    EXPECT_TRUE(refresh.Pending());
    EXPECT_FALSE(refresh.Take().panel);
}

TEST(DisplayRefresh, TheTraceKeepsOnlyItsNewestLines) {
    DisplayRefresh refresh;
    for (std::size_t line = 0; line < kTraceLines + 200; ++line) {
        refresh.TraceFrame(std::to_string(line));
    }
    const DisplayUpdate update = refresh.Take();
    ASSERT_EQ(update.trace.size(), kTraceLines);
    EXPECT_EQ(update.trace.front(), "200");
    EXPECT_EQ(update.trace.back(), std::to_string(kTraceLines + 199));
}

} // namespace
} // namespace meterdesk::decode
