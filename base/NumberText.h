#pragma once

#include "base/Locale.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace meterdesk::base {

// A decimal integer with an optional sign ("+50", "-7"); leading blanks are
// allowed. nullopt when the text is not one or leaves the 32-bit range.
std::optional<std::int32_t> TextToInt(std::string_view text);

// A number in the user's format: optional sign, digits with the locale's
// decimal separator, an optional exponent; blanks around it are allowed,
// thousands separators are not. nullopt when the text is not one.
std::optional<double> TextToFloat(std::string_view text, const NumberFormat& format);

} // namespace meterdesk::base
