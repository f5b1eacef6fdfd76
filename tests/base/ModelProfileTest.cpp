// Scope: what the profile flags select in their test order, the count-class
// rows, and the locale's decimal separator.
#include "base/ModelProfile.h"

#include "base/Locale.h"
#include "base/MeasurementState.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace meterdesk::base {
namespace {

TEST(ModelProfile, BuildProfileIsOsprey) {
    const ProfileSettings s = ResolveProfile(kBuildProfile);
    EXPECT_EQ(s.caption, "Osprey Interface Program Ver: 3.10");
    EXPECT_EQ(s.receiveHandler, ReceiveHandler::HHeronRData);
    EXPECT_EQ(s.baudRate, 19200);
    EXPECT_EQ(s.countClass, "4");
    EXPECT_EQ(s.firstDigitCaption, "5");
}

TEST(ModelProfile, LaterFlagsOverrideOnlyWhatTheirRowSets) {
    const ProfileSettings wrenOsprey = ResolveProfile({.IFWren = true, .IFOsprey = true});
    EXPECT_EQ(wrenOsprey.receiveHandler, ReceiveHandler::HHeronRData);
    EXPECT_EQ(wrenOsprey.caption, "Osprey Interface Program Ver: 3.10");
    EXPECT_EQ(wrenOsprey.baudRate, 19200);
    EXPECT_EQ(wrenOsprey.firstDigitCaption, "3"); // set by Wren, untouched by Osprey

    const ProfileSettings finch = ResolveProfile({.IFFinch = true});
    EXPECT_EQ(finch.countClass, "34");
    EXPECT_EQ(finch.baudRate, 2400);

    EXPECT_EQ(ResolveProfile({.IFTern = true}).countClass, "6");
    EXPECT_EQ(ResolveProfile({.IFOsprey = true, .IFTern = true}).countClass, "6");
    EXPECT_EQ(ResolveProfile({.Kite = true}).receiveHandler, ReceiveHandler::HPipitRData);
    EXPECT_EQ(ResolveProfile({.IFLark = true, .IFRobin = true, .Crane = true}).caption, "");
}

TEST(ModelProfile, NoFlagLeavesTheWindowDefinition) {
    const ProfileSettings s = ResolveProfile({});
    EXPECT_EQ(s.caption, "");
    EXPECT_EQ(s.receiveHandler, ReceiveHandler::None);
    EXPECT_EQ(s.baudRate, 2400);
    EXPECT_EQ(s.countClass, "4");
}

TEST(CountClass, RowsSetEveryCountDependentNumber) {
    MeasurementState state;
    ApplyCountClassNumbers(state, *FindCountClass("6"));
    EXPECT_EQ(state.CountClass, "6");
    EXPECT_EQ(state.FullScale, 6000);
    EXPECT_EQ(state.BarCentre, 600);
    EXPECT_EQ(state.BarGraphFull, 60);
    EXPECT_EQ(state.ScaleTicks, 120);
    EXPECT_EQ(state.AlarmHigh, 6002.0F);
    EXPECT_EQ(state.PeakMin, 6001.0F);

    const CountClassRow row34 = *FindCountClass("34");
    EXPECT_TRUE(row34.writesTexts);
    EXPECT_EQ(row34.SetMinText, "-3400");
    EXPECT_EQ(row34.MaxTextText, "-3401");
    EXPECT_FALSE(FindCountClass("4")->writesTexts);
    EXPECT_FALSE(FindCountClass("5").has_value());
}

TEST(SystemLocale, ReadsTheEnvironmentsNumericSettings) {
    ::setenv("LC_ALL", "C", 1);
    const auto locale = MakeSystemLocale();
    EXPECT_EQ(locale->ReadDecimalSeparator(), ".");
    EXPECT_EQ(locale->ReadLocaleFormat().decimalSeparator, ".");
    ::unsetenv("LC_ALL");
}

} // namespace
} // namespace meterdesk::base
