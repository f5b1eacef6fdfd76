// Scope: the alarm and judge limits: number texts in the user's format, the
// key filters, the verdict, and the page-size text.
#include "chart/Limits.h"

#include "base/NumberText.h"

#include <gtest/gtest.h>

namespace meterdesk::chart {
namespace {

const base::NumberFormat kPoint{".", ","};
const base::NumberFormat kComma{",", "."};

TEST(Judge, LimitsAreInclusiveAndNonNumbersFail) {
    EXPECT_EQ(JudgeReading("6000", "6000", "-6000", kPoint), Verdict::Pass);
    EXPECT_EQ(JudgeReading("-6000", "6000", "-6000", kPoint), Verdict::Pass);
    EXPECT_EQ(JudgeReading("6000.001", "6000", "-6000", kPoint), Verdict::Fail);
    EXPECT_EQ(JudgeReading("0.L", "6000", "-6000", kPoint), Verdict::Fail);
    EXPECT_EQ(JudgeReading("-0.L", "6000", "-6000", kPoint), Verdict::Fail);
    // A limit that is not a number counts as 6000 or -6000.
    EXPECT_EQ(JudgeReading("5999", "", "-", kPoint), Verdict::Pass);
    EXPECT_EQ(JudgeReading("6001", "abc", "-6000", kPoint), Verdict::Fail);
    EXPECT_EQ(JudgeReading("2,5", "2,5", "2,4", kComma), Verdict::Pass);
    EXPECT_EQ(JudgeReading("2,6", "2,5", "2,4", kComma), Verdict::Fail);
}

TEST(NumberText, FloatsFollowTheLocaleAndIntegersTheirSign) {
    EXPECT_EQ(base::TextToFloat("2,5", kComma), 2.5);
    EXPECT_FALSE(base::TextToFloat("2.5", kComma).has_value());
    EXPECT_EQ(base::TextToFloat(" -12.34 ", kPoint), -12.34);
    EXPECT_EQ(base::TextToFloat("1e3", kPoint), 1000.0);
    EXPECT_EQ(base::TextToFloat("00.12", kPoint), 0.12);
    for (const char* bad : {"", "-", "+", ".", "1.2.3", "1,000", "1e", "0.L", "12a"}) {
        EXPECT_FALSE(base::TextToFloat(bad, kPoint).has_value()) << bad;
    }
    EXPECT_EQ(base::TextToInt("+50"), 50);
    EXPECT_EQ(base::TextToInt("-4000"), -4000);
    EXPECT_EQ(base::TextToInt("2147483647"), 2147483647);
    EXPECT_FALSE(base::TextToInt("2147483648").has_value());
    EXPECT_FALSE(base::TextToInt("4-").has_value());
}

TEST(AlarmText, SignsAloneMeanZeroAndBadTextKeepsTheLimit) {
    for (const char* zero : {"", "-", "+"}) {
        EXPECT_EQ(ParseAlarmText(zero).limit, 0.0F) << zero;
    }
    EXPECT_EQ(ParseAlarmText("+50").limit, 50.0F);
    const AlarmText bad = ParseAlarmText("4-");
    EXPECT_FALSE(bad.limit.has_value());
    EXPECT_EQ(bad.error, "'4-' is not a valid integer value");
    EXPECT_FALSE(ParseAlarmText("+-").limit.has_value());
}

TEST(KeyFilters, EachBoxTakesItsOwnCharacters) {
    EXPECT_TRUE(AlarmKeyPasses('7') && AlarmKeyPasses('-') && AlarmKeyPasses('\b'));
    EXPECT_FALSE(AlarmKeyPasses('.'));
    EXPECT_TRUE(JudgeKeyPasses(',', ","));
    EXPECT_FALSE(JudgeKeyPasses('.', ","));
    EXPECT_TRUE(DigitKeyPasses('0') && DigitKeyPasses('\b'));
    EXPECT_FALSE(DigitKeyPasses('-'));
}

TEST(PageSizeText, OnlyPositiveIntegersMakeAPage) {
    EXPECT_EQ(PageSizeFromText("50"), 50);
    for (const char* bad : {"", "0", "-5", "abc", "99999999999"}) {
        EXPECT_FALSE(PageSizeFromText(bad).has_value()) << bad;
    }
}

} // namespace
} // namespace meterdesk::chart
