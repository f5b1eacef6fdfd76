#pragma once

#include "base/Locale.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::chart {

// The boxes checked 2 s after their last change, and the texts they fall
// back to when they hold no valid number.
inline constexpr const char* kPageSizeFallback = "100";
inline constexpr const char* kHighLimitFallback = "5999";
inline constexpr const char* kLowLimitFallback = "-5999";

// Maxrecord at its timer: the page size to set, and the text the box must
// read instead when it holds no page size.
struct PageSizeCheck {
    std::int32_t pageSize;
    std::optional<std::string> repairedText;
};
PageSizeCheck CheckPageSizeText(std::string_view text);

// T1HI and T1LO at their timers: the fallback text when the box holds no
// number under the user's format, none when it stays as it is.
std::optional<std::string> RepairHighLimitText(std::string_view text,
                                               const base::NumberFormat& format);
std::optional<std::string> RepairLowLimitText(std::string_view text,
                                              const base::NumberFormat& format);

} // namespace meterdesk::chart
