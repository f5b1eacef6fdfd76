#pragma once

#include "base/Locale.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace meterdesk::base {

// TextToInt for any text: signs, blanks and the range checked.
std::optional<std::int32_t> TextToIntChecked(std::string_view text);

// A decimal integer with an optional sign ("+50", "-7"); leading blanks are
// allowed. nullopt when the text is not one or leaves the 32-bit range.
inline std::optional<std::int32_t> TextToInt(std::string_view text) {
    // Most numbers are a few plain digits: read here, without a call, and
    // without the checks for signs, blanks and overflow that nine digits
    // cannot reach.
    if (!text.empty() && text.size() <= 9) {
        std::int32_t value = 0;
        std::size_t i = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = value * 10 + (text[i] - '0');
        }
        if (i == text.size()) {
            return value;
        }
    }
    return TextToIntChecked(text);
}

// A number in the user's format: optional sign, digits with the locale's
// decimal separator, an optional exponent; blanks around it are allowed,
// thousands separators are not. nullopt when the text is not one.
std::optional<double> TextToFloat(std::string_view text, const NumberFormat& format);

} // namespace meterdesk::base
