// Scope: what the profile flags select in their test order, the count-class
// rows, and the locale's decimal separator.
#include "base/ModelProfile.h"

#include "base/Locale.h"
#include "base/MeasurementState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <langinfo.h>
#include <locale.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

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

// A locale whose decimal separator is a comma: one installed here, else one
// compiled from the system's locale sources into `folder` (found through
// LOCPATH); none when neither is there.
std::optional<std::string> CommaLocale(const std::filesystem::path& folder) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "de_DE"}) {
        if (locale_t found = ::newlocale(LC_NUMERIC_MASK, name, locale_t{})) {
            const bool comma = std::string_view(::nl_langinfo_l(RADIXCHAR, found)) == ",";
            ::freelocale(found);
            if (comma) {
                return name;
            }
        }
    }
    const std::string command =
        "localedef -i de_DE -f ISO-8859-1 '" + (folder / "md_comma").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) {
        return "md_comma";
    }
    return std::nullopt;
}

// The decimal and thousands separators MakeSystemLocale reads in a child
// process whose environment has `variable`=`value` (and LOCPATH=`folder`).
std::string SeparatorsInChild(const char* variable, const std::string& value,
                              const std::filesystem::path& folder) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_NUMERIC");
        ::unsetenv("LANG");
        ::setenv("LOCPATH", folder.c_str(), 1);
        ::setenv(variable, value.c_str(), 1);
        const NumberFormat format = MakeSystemLocale()->ReadLocaleFormat();
        const std::string text = format.decimalSeparator + "|" + format.thousandsSeparator;
        const bool written =
            ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[64];
    for (ssize_t count; (count = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return text;
}

TEST(SystemLocale, ReadsTheEnvironmentsNumericSettings) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("md_locale_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::optional<std::string> comma = CommaLocale(folder);
    if (!comma) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "no locale with a decimal comma here, and no locale sources to build one "
                        "(Debian package locales)";
    }
    EXPECT_EQ(SeparatorsInChild("LC_NUMERIC", *comma, folder), ",|.");
    EXPECT_EQ(SeparatorsInChild("LC_ALL", *comma, folder), ",|.");
    EXPECT_EQ(SeparatorsInChild("LC_ALL", "C", folder), ".|");
    // An unknown locale leaves the C settings rather than failing.
    EXPECT_EQ(SeparatorsInChild("LC_NUMERIC", "xx_NOWHERE", folder), ".|");
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace meterdesk::base
