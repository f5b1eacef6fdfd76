#pragma once

#include "base/Locale.h"

#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::chart {

// An alarm limit typed into Setmax or SetMin: "-", "+" or nothing mean 0,
// anything else must be an integer. On bad text `error` holds the message
// for the user and the limit keeps its old value.
struct AlarmText {
    std::optional<float> limit;
    std::string error;
};
AlarmText ParseAlarmText(std::string_view text);

// Key filters: whether a typed character passes.
bool AlarmKeyPasses(char key);                                    // Setmax, SetMin
bool JudgeKeyPasses(char key, std::string_view decimalSeparator); // T1HI, T1LO
bool DigitKeyPasses(char key);                                    // RecordSITime, Maxrecord

enum class Verdict { Pass, Fail };

// Judges a recorded reading against the judge limits' texts: both limits
// inclusive; a limit that is not a number counts as 6000 (high) or -6000
// (low); a reading that is not a number fails.
Verdict JudgeReading(std::string_view readingValue, std::string_view highText,
                     std::string_view lowText, const base::NumberFormat& format);

// The page size a Maxrecord text asks for; nullopt when the box must read
// "100" again (empty, zero, negative, not a number, out of range).
std::optional<std::int32_t> PageSizeFromText(std::string_view text);

} // namespace meterdesk::chart
