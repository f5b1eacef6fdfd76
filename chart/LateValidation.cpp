#include "chart/LateValidation.h"

#include "base/NumberText.h"
#include "chart/Limits.h"

namespace meterdesk::chart {

namespace {

std::optional<std::string> RepairNumber(std::string_view text, const base::NumberFormat& format,
                                        const char* fallback) {
    if (base::TextToFloat(text, format)) {
        return std::nullopt;
    }
    return fallback;
}

} // namespace

PageSizeCheck CheckPageSizeText(std::string_view text) {
    if (const auto size = PageSizeFromText(text)) {
        return {*size, std::nullopt};
    }
    return {100, kPageSizeFallback};
}

std::optional<std::string> RepairHighLimitText(std::string_view text,
                                               const base::NumberFormat& format) {
    return RepairNumber(text, format, kHighLimitFallback);
}

std::optional<std::string> RepairLowLimitText(std::string_view text,
                                              const base::NumberFormat& format) {
    return RepairNumber(text, format, kLowLimitFallback);
}

} // namespace meterdesk::chart
