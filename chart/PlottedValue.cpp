#include "chart/PlottedValue.h"

#include "base/NumberText.h"

namespace meterdesk::chart {

double PlottedValue(std::string_view readingValue, const base::NumberFormat& format,
                    bool minusShown, double axisMin, double axisMax) {
    if (const auto value = base::TextToFloat(readingValue, format)) {
        return *value;
    }
    return minusShown ? axisMin : axisMax;
}

} // namespace meterdesk::chart
