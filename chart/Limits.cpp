#include "chart/Limits.h"

#include "base/NumberText.h"

namespace meterdesk::chart {

AlarmText ParseAlarmText(std::string_view text) {
    if (text.empty() || text == "-" || text == "+") {
        return {0.0F, {}};
    }
    if (const auto value = base::TextToInt(text)) {
        return {static_cast<float>(*value), {}};
    }
    std::string message(1, '\'');
    message.append(text).append("' is not a valid integer value");
    return {std::nullopt, message};
}

bool AlarmKeyPasses(char key) {
    return (key >= '0' && key <= '9') || key == '\b' || key == '+' || key == '-';
}

bool JudgeKeyPasses(char key, std::string_view decimalSeparator) {
    return AlarmKeyPasses(key) || (!decimalSeparator.empty() && key == decimalSeparator.front());
}

bool DigitKeyPasses(char key) {
    return (key >= '0' && key <= '9') || key == '\b';
}

Verdict JudgeReading(std::string_view readingValue, std::string_view highText,
                     std::string_view lowText, const base::NumberFormat& format) {
    const auto value = base::TextToFloat(readingValue, format);
    if (!value) {
        return Verdict::Fail;
    }
    const double high = base::TextToFloat(highText, format).value_or(6000.0);
    const double low = base::TextToFloat(lowText, format).value_or(-6000.0);
    return *value > high || *value < low ? Verdict::Fail : Verdict::Pass;
}

std::optional<std::int32_t> PageSizeFromText(std::string_view text) {
    const auto size = base::TextToInt(text);
    // A page of no or negative width has no place on the axis.
    if (!size || *size <= 0) {
        return std::nullopt;
    }
    return size;
}

} // namespace meterdesk::chart
