#pragma once

#include <memory>
#include <string>
#include <utility>

namespace meterdesk::base {

// The number format settings of the user's locale that turning value texts
// into numbers needs.
struct NumberFormat {
    std::string decimalSeparator = ".";
    std::string thousandsSeparator;

    bool operator==(const NumberFormat&) const = default;
};

// The user's locale as the program asks for it: at start-up and once per
// decoded frame. The settings are handed out by reference, so a read per
// frame copies nothing when they did not change.
class LocaleSource {
public:
    virtual ~LocaleSource() = default;
    virtual const std::string& ReadDecimalSeparator() = 0;
    virtual const NumberFormat& ReadLocaleFormat() = 0;
};

// The locale of the process environment (LC_ALL, LC_NUMERIC, LANG), read once:
// a running process's environment does not change, and a per-frame lookup
// would cost a locale load for every reading.
std::unique_ptr<LocaleSource> MakeSystemLocale();

// A locale whose settings are whatever the test put in.
class FixedLocale final : public LocaleSource {
public:
    explicit FixedLocale(NumberFormat format = {}) : format_(std::move(format)) {}
    const std::string& ReadDecimalSeparator() override { return format_.decimalSeparator; }
    const NumberFormat& ReadLocaleFormat() override { return format_; }
    void Set(NumberFormat format) { format_ = std::move(format); }

private:
    NumberFormat format_;
};

} // namespace meterdesk::base
