// Scope: which digit labels the LCD replica draws for captions, points, function and overload.
#include "decode/DigitBlanking.h"

#include "decode/PanelState.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>

namespace meterdesk::decode {
namespace {

struct BlankingCase {
    const char* name;
    std::array<std::string, 4> digits;
    char point; // '0' none, else '1'..'3'
    char function;
    bool overload;
    const char* shown; // one character per place, '#' drawn, '.' blank
};

void PrintTo(const BlankingCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Places(const std::array<bool, 4>& shown) {
    std::string places;
    for (const bool place : shown) {
        places += place ? '#' : '.';
    }
    return places;
}

class DigitBlanking : public ::testing::TestWithParam<BlankingCase> {};

TEST_P(DigitBlanking, DrawsTheExpectedPlaces) {
    const BlankingCase& c = GetParam();
    PanelState panel;
    panel.digitCaptions = c.digits;
    if (c.point != '0') {
        panel.pointMarks[static_cast<std::size_t>(c.point - '1')] = true;
    }
    panel.functionCode = c.function;
    panel.overload = c.overload;
    // The digits' own flags never matter: blanking starts from all four.
    panel.Hide(PanelElement::LcdDa);

    EXPECT_EQ(Places(ShownDigits(panel)), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DigitBlanking,
    ::testing::Values(
        // No point: leading zeros go, the last place always stays.
        BlankingCase{"NoPointThreeZeros", {"0", "0", "0", "7"}, '0', 'B', false, "...#"},
        BlankingCase{"NoPointAllZeros", {"0", "0", "0", "0"}, '0', 'B', false, "...#"},
        BlankingCase{"NoPointTwoZeros", {"0", "0", "1", "0"}, '0', 'B', false, "..##"},
        BlankingCase{"NoPointOneZero", {"0", "1", "0", "0"}, '0', 'B', false, ".###"},
        BlankingCase{"NoPointInnerZeroStays", {"1", "0", "0", "0"}, '0', 'B', false, "####"},
        // A point keeps the zero in front of it.
        BlankingCase{"PointOneKeepsAll", {"0", "0", "1", "2"}, '1', 'B', false, "####"},
        BlankingCase{"PointTwoBlanksFirstOnly", {"0", "0", "1", "2"}, '2', 'B', false, ".###"},
        BlankingCase{"PointThreeBlanksTwo", {"0", "0", "1", "2"}, '3', 'B', false, "..##"},
        BlankingCase{"PointThreeBlanksOne", {"0", "1", "0", "2"}, '3', 'B', false, ".###"},
        BlankingCase{"PointThreeSecondZeroAlone", {"1", "0", "0", "2"}, '3', 'B', false, "####"},
        // An empty caption (the fourth place of some models) is no zero.
        BlankingCase{"EmptyCaptionIsNoZero", {"0", "0", "", "1"}, '0', 'B', false, "..##"},
        // Function 5 reads in the third place, function 1 drops the fourth.
        BlankingCase{"Function5ShowsThirdPlace", {"0", "0", "0", "1"}, '0', '5', false, "..#."},
        BlankingCase{"Function5WithDigits", {"1", "2", "3", "4"}, '0', '5', false, "###."},
        BlankingCase{"Function1", {"0", "5", "1", "2"}, '1', '1', false, "###."},
        // Overload: "0" and L in the middle, first place gone when it was "0".
        BlankingCase{"OverloadWithPointTwo", {"1", "0", "@", "4"}, '2', 'B', true, ".##."},
        BlankingCase{"OverloadNoPointLeadingZero", {"0", "0", "@", "0"}, '0', '3', true, "..#."},
        BlankingCase{"OverloadNoPointDigit", {"1", "0", "@", "0"}, '0', '3', true, ".##."},
        BlankingCase{"OverloadFunction5", {"0", "0", "@", "0"}, '0', '5', true, "..#."}),
    [](const ::testing::TestParamInfo<BlankingCase>& param) { return param.param.name; });

} // namespace
} // namespace meterdesk::decode
