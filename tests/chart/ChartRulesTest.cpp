// Scope: the rules the window applies around the chart and the judge: where
// a reading is plotted, the verdict shown together with its value, and the
// texts the late-validated boxes fall back to.
#include "chart/JudgeDisplay.h"
#include "chart/LateValidation.h"
#include "chart/PlottedValue.h"

#include <gtest/gtest.h>

namespace meterdesk::chart {
namespace {

const base::NumberFormat kPoint{".", ","};
const base::NumberFormat kComma{",", "."};

TEST(PlottedValue, NumbersAsTheyAreOverloadAtTheAxisEnd) {
    EXPECT_EQ(PlottedValue("-12.34", kPoint, true, -60, 60), -12.34);
    EXPECT_EQ(PlottedValue("2,5", kComma, false, -60, 60), 2.5);
    EXPECT_EQ(PlottedValue("0.L", kPoint, false, -60, 60), 60);
    EXPECT_EQ(PlottedValue("-0.L", kPoint, true, -4000, 4000), -4000); // the minus sign shown
    EXPECT_EQ(PlottedValue("2.5", kComma, false, -6, 6), 6); // not a number in this format
}

TEST(JudgeDisplay, TheLatestValueComesWithItsOwnVerdict) {
    JudgeDisplay display;
    EXPECT_FALSE(display.Take());
    display.Judged("12.34", Verdict::Fail);
    display.Judged("-12.34", Verdict::Pass); // before the refresh: the newer one wins
    ASSERT_TRUE(display.Pending());
    const auto look = display.Take();
    ASSERT_TRUE(look);
    EXPECT_EQ(look->value, "-12.34");
    EXPECT_EQ(look->restyle, Verdict::Pass);
    EXPECT_FALSE(display.Pending());
    EXPECT_FALSE(display.Take()); // nothing judged since
}

TEST(JudgeDisplay, ThePanelIsRestyledOnlyWhenTheVerdictTurns) {
    JudgeDisplay display;
    display.Judged("1.00", Verdict::Pass);
    EXPECT_EQ(display.Take()->restyle, Verdict::Pass);
    display.Judged("2.00", Verdict::Pass);
    const auto same = display.Take();
    EXPECT_EQ(same->value, "2.00");
    EXPECT_FALSE(same->restyle);
    display.Judged("0.L", Verdict::Fail);
    EXPECT_EQ(display.Take()->restyle, Verdict::Fail);
    // A turn and back between two refreshes leaves the look as it was.
    display.Judged("1.00", Verdict::Pass);
    display.Judged("0.L", Verdict::Fail);
    EXPECT_FALSE(display.Take()->restyle);
}

TEST(LateValidation, BoxesWithoutANumberFallBack) {
    for (const char* bad : {"", "0", "-5", "abc", "99999999999"}) {
        const PageSizeCheck check = CheckPageSizeText(bad);
        EXPECT_EQ(check.pageSize, 100) << bad;
        EXPECT_EQ(check.repairedText, "100") << bad;
    }
    const PageSizeCheck fifty = CheckPageSizeText("50");
    EXPECT_EQ(fifty.pageSize, 50);
    EXPECT_FALSE(fifty.repairedText);

    EXPECT_EQ(RepairHighLimitText("", kPoint), "5999");
    EXPECT_EQ(RepairHighLimitText("-", kPoint), "5999");
    EXPECT_EQ(RepairLowLimitText("-", kPoint), "-5999");
    EXPECT_EQ(RepairLowLimitText("2.5", kComma), "-5999");
    EXPECT_FALSE(RepairHighLimitText("2,5", kComma));
    EXPECT_FALSE(RepairLowLimitText("-6000", kPoint));
}

} // namespace
} // namespace meterdesk::chart
