#include "base/ModelProfile.h"

#include <array>

namespace meterdesk::base {

namespace {

// One row of the profile table. Empty optionals leave the value unchanged.
struct ProfileRow {
    bool ModelProfile::*flag;
    ReceiveHandler handler;
    std::string_view caption;
    std::optional<std::int32_t> baudRate;
    std::optional<std::string_view> countClass;
    std::optional<std::string_view> firstDigitCaption;
};

// Tested top to bottom; a later checked row overrides an earlier one.
const std::array<ProfileRow, 7> kProfileRows{{
    {&ModelProfile::IFWren, ReceiveHandler::HPipitRData, "OEM Merlin Interface Program _Ver: 2.00",
     std::nullopt, std::nullopt, "3"},
    {&ModelProfile::Kite, ReceiveHandler::HPipitRData, "Kite Interface Program _Ver: 2.00",
     std::nullopt, std::nullopt, "3"},
    {&ModelProfile::IFHeron, ReceiveHandler::HHeronRData, "Heron Interface Program _Ver: 1.00",
     std::nullopt, std::nullopt, std::nullopt},
    {&ModelProfile::IFFinch, ReceiveHandler::HHeronRData, "Finch Interface Program _Ver: 2.06",
     std::nullopt, "34", std::nullopt},
    {&ModelProfile::IFOsprey, ReceiveHandler::HHeronRData, "Osprey Interface Program Ver: 3.10",
     kProfileBaudRate, "4", std::nullopt},
    {&ModelProfile::IFPlover, ReceiveHandler::HHeronRData,
     "Plover USB Interface Program _Ver: 1.00", kProfileBaudRate, "4", std::nullopt},
    {&ModelProfile::IFTern, ReceiveHandler::HHeronRData, "Tern Interface Program _Ver: 1.00",
     std::nullopt, "6", std::nullopt},
}};

const std::array<CountClassRow, 3> kCountClasses{{
    {"4", 4000, 400, 40, 80, 4002.0F, -4002.0F, -4001.0F, 4001.0F, false, "4000", "-4000", "4001",
     "-4001"},
    {"6", 6000, 600, 60, 120, 6002.0F, -6002.0F, -6001.0F, 6001.0F, true, "6000", "-6000", "6001",
     "-6001"},
    {"34", 3400, 340, 34, 68, 3402.0F, -3402.0F, -3401.0F, 3401.0F, true, "3400", "-3400", "3401",
     "-3401"},
}};

} // namespace

ProfileSettings ResolveProfile(const ModelProfile& profile) {
    ProfileSettings settings;
    for (const ProfileRow& row : kProfileRows) {
        if (!(profile.*row.flag)) {
            continue;
        }
        settings.receiveHandler = row.handler;
        settings.caption = row.caption;
        if (row.baudRate) {
            settings.baudRate = *row.baudRate;
        }
        if (row.countClass) {
            settings.countClass = *row.countClass;
        }
        if (row.firstDigitCaption) {
            settings.firstDigitCaption = *row.firstDigitCaption;
        }
    }
    return settings;
}

std::optional<CountClassRow> FindCountClass(std::string_view name) {
    for (const CountClassRow& row : kCountClasses) {
        if (row.name == name) {
            return row;
        }
    }
    return std::nullopt;
}

} // namespace meterdesk::base
