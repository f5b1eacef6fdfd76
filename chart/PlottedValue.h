#pragma once

#include "base/Locale.h"

#include <string_view>

namespace meterdesk::chart {

// Where a recorded reading goes on the value axis. A value that is no
// number (overload) goes to the top of the axis, or to the bottom when the
// display shows the minus sign.
double PlottedValue(std::string_view readingValue, const base::NumberFormat& format,
                    bool minusShown, double axisMin, double axisMax);

} // namespace meterdesk::chart
