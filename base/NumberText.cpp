#include "base/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace meterdesk::base {

namespace {

std::string_view TrimBlanks(std::string_view text, bool trailing) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (trailing && !text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<std::int32_t> TextToIntChecked(std::string_view text) {
    text = TrimBlanks(text, false);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > std::int64_t{1} << 31) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > INT32_MAX || value < INT32_MIN) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<double> TextToFloat(std::string_view text, const NumberFormat& format) {
    text = TrimBlanks(text, true);
    // Rewrite into the C form the standard parser takes, checking the shape.
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            plain += '-';
        }
        ++i;
    }
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        plain += text[i++];
        digits = true;
    }
    const std::string_view separator = format.decimalSeparator;
    if (!separator.empty() && text.substr(i, separator.size()) == separator) {
        plain += '.';
        i += separator.size();
        while (i < text.size() && IsDigit(text[i])) {
            plain += text[i++];
            digits = true;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            plain += text[i++];
        }
        bool exponentDigits = false;
        while (i < text.size() && IsDigit(text[i])) {
            plain += text[i++];
            exponentDigits = true;
        }
        if (!exponentDigits) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace meterdesk::base
