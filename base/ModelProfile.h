#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::base {

// The model profile flags. One program serves several meter models; the set of
// checked flags is fixed when the program is built (see kBuildProfile) and
// selects the receive handler, the caption, the serial speed and the count
// class. Five flags are consulted after start-up; five are consulted never.
struct ModelProfile {
    bool IFWren = false;
    bool Kite = false;
    bool IFHeron = false;
    bool IFFinch = false;
    bool IFOsprey = false;
    bool IFPlover = false;
    bool IFTern = false;
    bool IFLark = false;
    bool IFRobin = false;
    bool IFSwift = false;
    bool IFEgret = false;
    bool IFIbis = false;
    bool Crane = false;
};

// This build serves the Osprey meters.
inline constexpr ModelProfile kBuildProfile{.IFOsprey = true};

// The serial receive handler a profile binds to the port component.
enum class ReceiveHandler : std::uint8_t { None, HPipitRData, HHeronRData };

// Serial speed of the port component as laid out, before any profile row.
inline constexpr std::int32_t kDefinedBaudRate = 2400;
inline constexpr std::int32_t kProfileBaudRate = 19200;

// What applying the profile flags in their test order yields. Each checked
// flag overrides what an earlier checked flag set; a field no checked flag
// touches keeps the window definition's value.
struct ProfileSettings {
    ReceiveHandler receiveHandler = ReceiveHandler::None;
    std::string caption; // empty: the window definition has no caption
    std::int32_t baudRate = kDefinedBaudRate;
    std::string countClass = "4";
    std::string firstDigitCaption = "5"; // caption of the LCD's first digit
};

ProfileSettings ResolveProfile(const ModelProfile& profile);

// One row of the count-class table: every count-dependent number of the
// program. The texts are written into the limit and min/max boxes when the
// class differs from the one the window definition already holds.
struct CountClassRow {
    std::string_view name;
    std::int32_t FullScale;
    std::int32_t BarCentre;
    std::int32_t BarGraphFull;
    std::int32_t ScaleTicks;
    float AlarmHigh;
    float AlarmLow;
    float PeakMax;
    float PeakMin;
    bool writesTexts;
    std::string_view SetmaxText;
    std::string_view SetMinText;
    std::string_view MinTextText;
    std::string_view MaxTextText;
};

// The row of count class "4", "6" or "34"; nullopt for any other name.
std::optional<CountClassRow> FindCountClass(std::string_view name);

} // namespace meterdesk::base
