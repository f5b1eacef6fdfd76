// Scope: turning one checked frame into panel state, reading texts, peaks and
// the hand-offs, for every function and range code and the model variants.
#include "decode/PanelState.h"
#include "tests/support/DecodingChain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace meterdesk::decode {
namespace {

using testing::DecodingChain;
using ::testing::ElementsAre;

struct Axis {
    double minimum;
    double maximum;
    bool operator==(const Axis&) const = default;
};
Axis Sym(double span) {
    return {-span, span};
}

// The elements that depend on the function and range codes.
const std::vector<PanelElement> kFunctionElements{
    PanelElement::LcdV,   PanelElement::LCDohm, PanelElement::LCDHz, PanelElement::LCDF,
    PanelElement::LCDCS,  PanelElement::LCDFS,  PanelElement::LCDFm, PanelElement::LCDDI,
    PanelElement::lcdhFE, PanelElement::LCDBT,  PanelElement::LCDk,  PanelElement::LCDM1,
    PanelElement::Lcdm,   PanelElement::LCDu,   PanelElement::LCDn,  PanelElement::LCDA,
    PanelElement::LcdP1,  PanelElement::LcdP2,  PanelElement::LcdP3, PanelElement::LcdRPM};

std::string ShownFunctionElements(const PanelState& panel) {
    std::string names;
    for (PanelElement element : kFunctionElements) {
        if (panel.Shown(element)) {
            names += (names.empty() ? "" : " ") + std::string(PanelElementName(element));
        }
    }
    return names;
}

// A frame with the digits 1 2 3 4, DC and AUTO set.
std::string Frame(char range, char function, char status = '0', std::string digits = "1234") {
    return std::string("A") + range + digits + function + status + "0" + "A" + "D";
}

struct FunctionCase {
    const char* name;
    base::ModelProfile profile;
    std::string frame;
    const char* value;
    const char* unit;
    std::optional<Axis> axis;
    const char* shown;
};

void PrintTo(const FunctionCase& c, std::ostream* os) {
    *os << c.frame;
}

class FunctionAndRange : public ::testing::TestWithParam<FunctionCase> {};

TEST_P(FunctionAndRange, DecodesTextsAxisAndAnnunciators) {
    const FunctionCase& c = GetParam();
    DecodingChain chain(c.profile);
    std::optional<Axis> axis;
    std::optional<int> needle;
    std::optional<int> bar;
    chain.decoder.handOffs.AxisRange = [&](double lo, double hi) { axis = Axis{lo, hi}; };
    chain.decoder.handOffs.NeedleAt = [&](int p) { needle = p; };
    chain.decoder.handOffs.BarGraphAt = [&](int p) { bar = p; };

    ASSERT_TRUE(chain.DecodeText(c.frame));

    EXPECT_EQ(chain.state.ReadingValue, c.value);
    EXPECT_EQ(chain.state.ReadingUnit, c.unit);
    EXPECT_EQ(chain.state.ReadingCoupling, "DC");
    EXPECT_EQ(chain.state.ReadingRange, "AUTO");
    EXPECT_EQ(axis, c.axis);
    EXPECT_EQ(ShownFunctionElements(chain.panel), c.shown);
    // Under IFLark functions 1 and 5 blank the fourth digit.
    const bool threeDigits = std::string(c.value).find('4') == std::string::npos;
    EXPECT_EQ(chain.state.ReadingNumber, threeDigits ? 123.0F : 1234.0F);
    EXPECT_EQ(needle, 523);
    EXPECT_EQ(bar, 12);
}

std::string CaseName(const ::testing::TestParamInfo<FunctionCase>& param) {
    return param.param.name;
}

constexpr base::ModelProfile kOsprey{.IFOsprey = true};
constexpr base::ModelProfile kHeron{.IFHeron = true};
constexpr base::ModelProfile kFinch{.IFFinch = true};
constexpr base::ModelProfile kLark{.IFHeron = true, .IFLark = true};

INSTANTIATE_TEST_SUITE_P(
    Osprey, FunctionAndRange,
    ::testing::Values(
        FunctionCase{"V0", kOsprey, Frame('0', 'B'), "1.234", "V", Sym(6), "LcdV LcdP1"},
        FunctionCase{"V1", kOsprey, Frame('1', 'B'), "12.34", "V", Sym(60), "LcdV LcdP2"},
        FunctionCase{"V2", kOsprey, Frame('2', 'B'), "123.4", "V", Sym(600), "LcdV LcdP3"},
        FunctionCase{"V3", kOsprey, Frame('3', 'B'), "1234", "V", Sym(6000), "LcdV"},
        FunctionCase{"V4", kOsprey, Frame('4', 'B'), "123.4", "mV", Sym(600), "LcdV Lcdm LcdP3"},
        FunctionCase{"V5", kOsprey, Frame('5', 'B'), "1234", "V", std::nullopt, "LcdV"},
        FunctionCase{"uA0", kOsprey, Frame('0', 'D'), "123.4", "uA", Sym(600), "LCDu LCDA LcdP3"},
        FunctionCase{"uA1", kOsprey, Frame('1', 'D'), "1234", "uA", Sym(6000), "LCDu LCDA"},
        FunctionCase{"uA2", kOsprey, Frame('2', 'D'), "1234", "uA", std::nullopt, "LCDu LCDA"},
        FunctionCase{"mA0", kOsprey, Frame('0', 'F'), "12.34", "mA", Sym(60), "Lcdm LCDA LcdP2"},
        FunctionCase{"mA1", kOsprey, Frame('1', 'F'), "123.4", "mA", Sym(600), "Lcdm LCDA LcdP3"},
        FunctionCase{"mA2", kOsprey, Frame('2', 'F'), "1234", "mA", std::nullopt, "Lcdm LCDA"},
        FunctionCase{"A0", kOsprey, Frame('0', '9'), "12.34", "A", Sym(10), "LCDA LcdP2"},
        FunctionCase{"A_anyRange", kOsprey, Frame('C', '9'), "12.34", "A", Sym(10), "LCDA LcdP2"},
        FunctionCase{"ohm0", kOsprey, Frame('0', '3'), "123.4", "*", Sym(600), "LCDohm LcdP3"},
        FunctionCase{"ohm1", kOsprey, Frame('1', '3'), "1.234", "k*", Sym(6), "LCDohm LCDk LcdP1"},
        FunctionCase{"ohm2", kOsprey, Frame('2', '3'), "12.34", "k*", Sym(60), "LCDohm LCDk LcdP2"},
        FunctionCase{"ohm3", kOsprey, Frame('3', '3'), "123.4", "k*", Sym(600),
                     "LCDohm LCDk LcdP3"},
        FunctionCase{"ohm4", kOsprey, Frame('4', '3'), "1.234", "M*", Sym(6), "LCDohm LCDM1 LcdP1"},
        FunctionCase{"ohm5", kOsprey, Frame('5', '3'), "12.34", "M*", Sym(60),
                     "LCDohm LCDM1 LcdP2"},
        FunctionCase{"ohm6", kOsprey, Frame('6', '3'), "1234", "*", std::nullopt, "LCDohm"},
        FunctionCase{"Hz0", kOsprey, Frame('0', '2'), "1234", "Hz", Sym(6000), "LCDHz"},
        FunctionCase{"Hz0_scaleBit", kOsprey, Frame('0', '2', '8'), "1234", "Hz", Sym(6000),
                     "LCDHz"},
        FunctionCase{"Hz1", kOsprey, Frame('1', '2'), "12.34", "kHz", Sym(60), "LCDHz LCDk LcdP2"},
        FunctionCase{"Hz2", kOsprey, Frame('2', '2'), "123.4", "kHz", Sym(600), "LCDHz LCDk LcdP3"},
        FunctionCase{"Hz3", kOsprey, Frame('3', '2'), "1.234", "MHz", Sym(6), "LCDHz LCDM1 LcdP1"},
        FunctionCase{"Hz4", kOsprey, Frame('4', '2'), "12.34", "MHz", Sym(60), "LCDHz LCDM1 LcdP2"},
        FunctionCase{"Hz5", kOsprey, Frame('5', '2'), "123.4", "MHz", Sym(600),
                     "LCDHz LCDM1 LcdP3"},
        FunctionCase{"Hz6", kOsprey, Frame('6', '2'), "1234", "", std::nullopt, "LCDHz"},
        FunctionCase{"F0", kOsprey, Frame('0', '6'), "1.234", "nF", Sym(6), "LCDF LCDn LcdP1"},
        FunctionCase{"F1", kOsprey, Frame('1', '6'), "12.34", "nF", Sym(60), "LCDF LCDn LcdP2"},
        FunctionCase{"F2", kOsprey, Frame('2', '6'), "123.4", "nF", Sym(600), "LCDF LCDn LcdP3"},
        FunctionCase{"F3", kOsprey, Frame('3', '6'), "1.234", "uF", Sym(6), "LCDF LCDu LcdP1"},
        FunctionCase{"F4", kOsprey, Frame('4', '6'), "12.34", "uF", Sym(60), "LCDF LCDu LcdP2"},
        FunctionCase{"F5", kOsprey, Frame('5', '6'), "123.4", "uF", Sym(600), "LCDF LCDu LcdP3"},
        FunctionCase{"F6", kOsprey, Frame('6', '6'), "1.234", "mF", Sym(6), "LCDF Lcdm LcdP1"},
        FunctionCase{"F7", kOsprey, Frame('7', '6'), "12.34", "mF", Sym(60), "LCDF Lcdm LcdP2"},
        FunctionCase{"F8", kOsprey, Frame('8', '6'), "1234", "", std::nullopt, "LCDF"},
        FunctionCase{"celsius", kOsprey, Frame('0', '4', '8'), "1234", "#", Axis{-40, 1000},
                     "LCDCS"},
        FunctionCase{"fahrenheit", kOsprey, Frame('0', '4'), "1234", "?", Axis{-40, 1832}, "LCDFS"},
        FunctionCase{"temperatureIgnoresRange", kOsprey, Frame('F', '4'), "1234", "?",
                     Axis{-40, 1832}, "LCDFS"},
        FunctionCase{"function5", kOsprey, Frame('0', '5'), "1234", "&", Sym(6000), "LCDFm"},
        FunctionCase{"function1", kOsprey, Frame('0', '1'), "1.234", ")", Sym(6),
                     "LcdV LCDDI LcdP1"},
        FunctionCase{"transistorGain", kOsprey, Frame('0', 'E'), "1234", "", Sym(6000),
                     "lcdhFE LCDBT"},
        FunctionCase{"unknownFunction", kOsprey, Frame('0', '7'), "1234", "", std::nullopt, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    OtherModels, FunctionAndRange,
    ::testing::Values(
        FunctionCase{"HeronHz0", kHeron, Frame('0', '2'), "1234", "Hz", Sym(6), "LCDHz"},
        FunctionCase{"HeronHz0_scaleBit", kHeron, Frame('0', '2', '8'), "1234", "Hz", Sym(6000),
                     "LCDHz"},
        FunctionCase{"FinchHz0", kFinch, Frame('0', '2'), "1234", "Hz", Sym(6), "LCDHz"},
        FunctionCase{"LarkHz0_scaleBit", kLark, Frame('0', '2', '8'), "1234", "Hz", Sym(6),
                     "LCDHz"},
        FunctionCase{"FinchFunction5", kFinch, Frame('0', '5'), "1234", "&*", Sym(6000),
                     "LCDohm LCDFm"},
        FunctionCase{"LarkV2", kLark, Frame('2', 'B'), "123.4", "V", Axis{-600, 400}, "LcdV LcdP3"},
        FunctionCase{"LarkMilliampCodeIsAmpere", kLark, Frame('E', 'F'), "12.34", "A", std::nullopt,
                     "LCDA LcdP2"},
        FunctionCase{"LarkAmpCode0", kLark, Frame('0', '9'), "12.34", "mA", Sym(10),
                     "Lcdm LCDA LcdP2"},
        FunctionCase{"LarkAmpCode1", kLark, Frame('1', '9'), "123.4", "mA", Sym(100),
                     "Lcdm LCDA LcdP3"},
        FunctionCase{"LarkFunction1", kLark, Frame('0', '1'), "1.23", ")V", Sym(6),
                     "LcdV LCDDI LcdP1"},
        FunctionCase{"LarkFunction5", kLark, Frame('0', '5'), "123", "&*", Sym(6000),
                     "LCDohm LCDFm"}),
    CaseName);

TEST(DisplayDecoding, WorkedExampleNegativeVoltage) {
    DecodingChain chain;
    std::vector<std::string> calls;
    chain.decoder.handOffs.AxisRange = [&](double lo, double hi) {
        calls.push_back("axis " + std::to_string(int(lo)) + " " + std::to_string(int(hi)));
    };
    chain.decoder.handOffs.NeedleAt = [&](int p) {
        calls.push_back("needle " + std::to_string(p));
    };
    chain.decoder.handOffs.BarGraphAt = [&](int p) { calls.push_back("bar " + std::to_string(p)); };

    ASSERT_TRUE(chain.DecodeText("A11234B40AD"));

    EXPECT_EQ(chain.state.ReadingValue, "-12.34");
    EXPECT_EQ(chain.state.ReadingUnit, "V");
    EXPECT_EQ(chain.state.ReadingCoupling, "DC");
    EXPECT_EQ(chain.state.ReadingRange, "AUTO");
    EXPECT_EQ(chain.state.ReadingNumber, -1234.0F);
    for (PanelElement e : {PanelElement::LcdFH, PanelElement::LcdV, PanelElement::LcdDc1,
                           PanelElement::LcdAuto, PanelElement::LcdP2}) {
        EXPECT_TRUE(chain.panel.Shown(e)) << PanelElementName(e);
    }
    EXPECT_THAT(calls, ElementsAre("axis -60 60", "needle 277", "bar 12"));
}

TEST(DisplayDecoding, WorkedExampleOverloadedResistance) {
    DecodingChain chain;
    int needle = -1;
    int bar = -1;
    chain.decoder.handOffs.NeedleAt = [&](int p) { needle = p; };
    chain.decoder.handOffs.BarGraphAt = [&](int p) { bar = p; };

    ASSERT_TRUE(chain.DecodeText("A200003102D"));

    EXPECT_EQ(chain.state.ReadingValue, "0.L");
    EXPECT_EQ(chain.state.ReadingUnit, "k*");
    EXPECT_EQ(chain.state.ReadingNumber, 4001.0F);
    EXPECT_EQ(chain.panel.digitCaptions[1], "0");
    EXPECT_EQ(chain.panel.digitCaptions[2], "@");
    for (PanelElement e : {PanelElement::LCDohm, PanelElement::LCDk, PanelElement::LcdP2}) {
        EXPECT_TRUE(chain.panel.Shown(e)) << PanelElementName(e);
    }
    EXPECT_EQ(needle, 800);
    EXPECT_EQ(bar, 40);
}

TEST(DisplayDecoding, FlagsOfStatusModesAndCoupling) {
    DecodingChain chain;
    // Status 6: minus and low battery; modes E: HOLD, MAX, MIN; C: DC and AC.
    ASSERT_TRUE(chain.DecodeText("A01234B6ECD"));
    EXPECT_EQ(chain.state.ReadingValue, "-1.234");
    EXPECT_EQ(chain.state.ReadingCoupling, "DC"); // DC wins when both are set
    EXPECT_EQ(chain.state.ReadingRange, "MANU");
    for (PanelElement e :
         {PanelElement::LcdFH, PanelElement::LCDBATT, PanelElement::LCDHold, PanelElement::lcdMax,
          PanelElement::lcdMin, PanelElement::LcdDc1, PanelElement::LcdACDC, PanelElement::LCDTRMST,
          PanelElement::LCDTRMS, PanelElement::lcdManual}) {
        EXPECT_TRUE(chain.panel.Shown(e)) << PanelElementName(e);
    }
    EXPECT_FALSE(chain.panel.Shown(PanelElement::LcdAC)); // Osprey shows AC as AC+DC
    EXPECT_FALSE(chain.panel.Shown(PanelElement::LcdAuto));

    // The next frame clears what it does not set.
    ASSERT_TRUE(chain.DecodeText("A01234B004D"));
    EXPECT_EQ(chain.state.ReadingCoupling, "AC");
    for (PanelElement e : {PanelElement::LcdFH, PanelElement::LCDBATT, PanelElement::LCDHold,
                           PanelElement::lcdMax, PanelElement::lcdMin, PanelElement::LcdDc1}) {
        EXPECT_FALSE(chain.panel.Shown(e)) << PanelElementName(e);
    }
    EXPECT_TRUE(chain.panel.Shown(PanelElement::LcdACDC));
}

TEST(DisplayDecoding, AcOutsideOspreyLightsPlainAcAnnunciator) {
    DecodingChain chain(kHeron);
    ASSERT_TRUE(chain.DecodeText("A01234B00CD"));
    EXPECT_TRUE(chain.panel.Shown(PanelElement::LcdAC));
    EXPECT_TRUE(chain.panel.Shown(PanelElement::LcdDc1));
    EXPECT_FALSE(chain.panel.Shown(PanelElement::LcdACDC));
    EXPECT_EQ(chain.state.ReadingCoupling, "DC");
}

TEST(DisplayDecoding, LinkAnnunciatorsOnlyOutsideOsprey) {
    DecodingChain osprey(kOsprey);
    DecodingChain heron(kHeron);
    for (DecodingChain* chain : {&osprey, &heron}) {
        ASSERT_TRUE(chain->DecodeText("A01234B000D")); // bit 36 clear: annunciators on
    }
    EXPECT_FALSE(osprey.panel.Shown(PanelElement::LCDRS));
    EXPECT_FALSE(osprey.panel.Shown(PanelElement::LCD232C));
    EXPECT_TRUE(heron.panel.Shown(PanelElement::LCDRS));
    EXPECT_TRUE(heron.panel.Shown(PanelElement::LCD232C));
    ASSERT_TRUE(heron.DecodeText("A01234B001D"));
    EXPECT_FALSE(heron.panel.Shown(PanelElement::LCDRS));
}

TEST(DisplayDecoding, OverloadNumbersNeedleAndBar) {
    DecodingChain chain;
    int needle = -1;
    int bar = -1;
    chain.decoder.handOffs.NeedleAt = [&](int p) { needle = p; };
    chain.decoder.handOffs.BarGraphAt = [&](int p) { bar = p; };

    ASSERT_TRUE(chain.DecodeText("A19999B50AD")); // negative overload, range 1 (P2)
    EXPECT_EQ(chain.state.ReadingValue, "-0.L");
    EXPECT_EQ(chain.state.ReadingNumber, -4001.0F);
    EXPECT_EQ(needle, 0);
    EXPECT_EQ(bar, 40);

    ASSERT_TRUE(chain.DecodeText("A099991108D")); // function 1 overloaded
    EXPECT_EQ(chain.state.ReadingValue, ".0L");   // the point stands before the 0
    EXPECT_EQ(needle, 800);
    EXPECT_EQ(bar, 25);
}

TEST(DisplayDecoding, BarGraphFromFirstTwoDigitsAndLeadingZerosKept) {
    DecodingChain chain;
    const auto barFor = [&](const char* digits) {
        int bar = -1;
        chain.decoder.handOffs.BarGraphAt = [&](int p) { bar = p; };
        EXPECT_TRUE(chain.DecodeText(Frame('1', 'B', '0', digits)));
        return bar;
    };
    EXPECT_EQ(barFor("0123"), 1);
    EXPECT_EQ(barFor("0012"), 1);
    EXPECT_EQ(barFor("5999"), 59);
    EXPECT_EQ(barFor("0212"), 2);
    barFor("0012");
    EXPECT_EQ(chain.state.ReadingValue, "00.12");
}

TEST(DisplayDecoding, DecimalSeparatorFollowsLocaleAtEveryFrame) {
    DecodingChain chain(kOsprey, ",");
    ASSERT_TRUE(chain.DecodeText("A11234B00AD"));
    EXPECT_EQ(chain.state.ReadingValue, "12,34");
    EXPECT_EQ(chain.state.DecimalSep, ",");
    chain.locale.Set(base::NumberFormat{".", ""});
    ASSERT_TRUE(chain.DecodeText("A11234B00AD"));
    EXPECT_EQ(chain.state.ReadingValue, "12.34");
    EXPECT_EQ(chain.state.LocaleFormat.thousandsSeparator, "");
}

TEST(DisplayDecoding, AnyLengthOfDecimalSeparatorFitsTheValueText) {
    const std::string longSeparator(40, '~');
    DecodingChain chain(kOsprey, longSeparator);
    ASSERT_TRUE(chain.DecodeText("A11234B00AD"));
    EXPECT_EQ(chain.state.ReadingValue, "12" + longSeparator + "34");
    chain.locale.Set(base::NumberFormat{"\xd9\xab", ""}); // a two-byte separator
    ASSERT_TRUE(chain.DecodeText("A01234B40AD"));
    EXPECT_EQ(chain.state.ReadingValue, "-1\xd9\xab"
                                        "234");
}

TEST(DisplayDecoding, PeaksRestartOnUnitOrPointChange) {
    DecodingChain chain;
    std::vector<std::string> shown;
    chain.decoder.handOffs.PeaksShown = [&](const std::string& max, const std::string& min,
                                            const std::string& unit) {
        shown.push_back(max + "|" + min + "|" + unit);
    };
    ASSERT_TRUE(chain.DecodeText("A11234B00AD")); // first frame: restart, texts still empty
    EXPECT_EQ(chain.state.PeakMax, -4001.0F);
    EXPECT_EQ(chain.state.PeakMin, 4001.0F);
    ASSERT_TRUE(chain.DecodeText("A11234B00AD")); // equal unit and point: both texts set
    ASSERT_TRUE(chain.DecodeText("A10500B00AD"));
    ASSERT_TRUE(chain.DecodeText("A12000B00AD"));
    EXPECT_EQ(chain.state.PeakMax, 2000.0F);
    EXPECT_EQ(chain.state.PeakMin, 500.0F);
    ASSERT_TRUE(chain.DecodeText("A21234B00AD")); // same unit "V", point moves: restart
    EXPECT_EQ(chain.state.PeakMax, -4001.0F);
    EXPECT_EQ(chain.state.PrevPointPos, 3);
    ASSERT_TRUE(chain.DecodeText("A41234B00AD")); // "mV": restart again
    EXPECT_EQ(chain.state.PrevUnit, "mV");
    EXPECT_THAT(shown, ElementsAre("||V", "12.34|12.34|V", "12.34|05.00|V", "20.00|05.00|V",
                                   "20.00|05.00|V", "20.00|05.00|mV"));
}

TEST(DisplayDecoding, HandOffsRunInOrderAndEmptySlotsAreSkipped) {
    DecodingChain chain;
    std::vector<std::string> order;
    auto& h = chain.decoder.handOffs;
    h.FrameSeen = [&] { order.push_back("FrameSeen"); };
    h.TraceFrame = [&](const std::string& text) { order.push_back("TraceFrame " + text); };
    h.AxisRange = [&](double, double) { order.push_back("AxisRange"); };
    h.PeaksShown = [&](const auto&, const auto&, const auto&) { order.push_back("PeaksShown"); };
    h.PanelChanged = [&] { order.push_back("PanelChanged"); };
    h.NeedleAt = [&](int) { order.push_back("NeedleAt"); };
    h.ReadingReady = [&] {
        // The log step sees the whole reading and the sign on the panel.
        order.push_back("ReadingReady " + chain.state.ReadingValue +
                        (chain.panel.Shown(PanelElement::LcdFH) ? " signed" : ""));
    };
    h.BarGraphAt = [&](int) { order.push_back("BarGraphAt"); };
    chain.state.LinkIdleTicks = 5;

    ASSERT_TRUE(chain.DecodeText("A11234B40AD"));
    EXPECT_EQ(chain.state.LinkIdleTicks, 0);
    EXPECT_THAT(order, ElementsAre("FrameSeen", "TraceFrame A11234B40AD", "AxisRange", "PeaksShown",
                                   "PanelChanged", "NeedleAt", "ReadingReady -12.34 signed",
                                   "BarGraphAt"));

    order.clear();
    h.AxisRange = nullptr;
    h.NeedleAt = nullptr;
    ASSERT_TRUE(chain.DecodeText("A11234B40AD"));
    EXPECT_EQ(order.size(), 6U);
}

TEST(DisplayDecoding, FrameWithUnreadableNumberIsSkippedWhole) {
    DecodingChain chain;
    int handOffs = 0;
    chain.decoder.handOffs.FrameSeen = [&] { ++handOffs; };
    chain.decoder.handOffs.TraceFrame = [&](const std::string&) { ++handOffs; };
    ASSERT_TRUE(chain.DecodeText("A11234B40AD"));
    const PanelState panelBefore = chain.panel;
    const base::MeasurementState before = chain.state;
    handOffs = 0;

    for (const char* frame : {"AA1234B00AD",    // range code read as a number
                              "A112C4B00AD",    // digit not decimal
                              "A1123F300AD"}) { // fourth digit not decimal
        EXPECT_FALSE(chain.DecodeText(frame)) << frame;
        EXPECT_EQ(chain.state.ReadingValue, before.ReadingValue);
        EXPECT_EQ(chain.state.PeakMaxText, before.PeakMaxText);
        EXPECT_EQ(chain.state.PrevUnit, before.PrevUnit);
        EXPECT_EQ(chain.panel.digitCaptions, panelBefore.digitCaptions);
        EXPECT_EQ(chain.panel.Shown(PanelElement::LcdFH), true);
    }
    EXPECT_EQ(handOffs, 0);
    EXPECT_EQ(chain.decoder.SkippedFrames(), 3U);

    // Where no number is read, any digit is fine: overload, or a function
    // that does not read the range code.
    EXPECT_TRUE(chain.DecodeText("A1ABCDB10AD"));
    EXPECT_TRUE(chain.DecodeText("AA12345000D"));
    EXPECT_TRUE(chain.DecodeText("A11234B40AD"));
    EXPECT_EQ(chain.state.ReadingValue, "-12.34");
}

TEST(DisplayDecoding, FrameBitsAreMostSignificantFirst) {
    const FrameBits bits("A11234B40AD");
    EXPECT_EQ(bits.Text(), "0001000100100011010010110100000010101101");
    EXPECT_TRUE(bits.Bit(26));
    EXPECT_FALSE(bits.Bit(28));
    EXPECT_TRUE(bits.Bit(33));
    EXPECT_TRUE(bits.Bit(35));
}

} // namespace
} // namespace meterdesk::decode
