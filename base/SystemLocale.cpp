#include "base/Locale.h"

#include <langinfo.h>
#include <locale.h>

namespace meterdesk::base {

namespace {

// Reads the numeric settings through a locale object of its own, so the
// process-wide C locale (which printf and strtod obey) stays "C".
NumberFormat ReadEnvironmentFormat() {
    NumberFormat format;
    locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (numeric == static_cast<locale_t>(nullptr)) {
        return format; // unknown or uninstalled locale: the C defaults
    }
    const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
    const char* thousands = nl_langinfo_l(THOUSEP, numeric);
    if (radix != nullptr && *radix != '\0') {
        format.decimalSeparator = radix;
    }
    if (thousands != nullptr) {
        format.thousandsSeparator = thousands;
    }
    freelocale(numeric);
    return format;
}

class SystemLocale final : public LocaleSource {
public:
    SystemLocale() : format_(ReadEnvironmentFormat()) {}
    const std::string& ReadDecimalSeparator() override { return format_.decimalSeparator; }
    const NumberFormat& ReadLocaleFormat() override { return format_; }

private:
    NumberFormat format_;
};

} // namespace

std::unique_ptr<LocaleSource> MakeSystemLocale() {
    return std::make_unique<SystemLocale>();
}

} // namespace meterdesk::base
