#pragma once

#include "base/MeasurementState.h"
#include "record/MeasurementTable.h"

#include <cstdint>
#include <functional>
#include <string>

namespace meterdesk::record {

// What the log reads from the window's controls at each reading.
struct RecordSettings {
    bool RecordSI = false;          // sampling interval on
    bool RepeatSet = true;          // record repeated readings too
    std::string RecordSITime = "1"; // interval in seconds, as typed
};

// Where a recorded reading goes besides the table, and how the log tells
// the user about an unreadable interval.
struct RecordHooks {
    std::function<std::string()> clockText; // local time "hh:mm:ss"
    std::function<void()> plot;             // chart-page update
    std::function<void()> judge;            // Pass/Fail
    std::function<void(const std::string&)> showError;
};

// The local time as the log writes it: "hh:mm:ss", hours 00 to 23.
std::string LocalClockText();

// The row-limit menu: ten million stands for "limitless".
inline constexpr std::int32_t kLimitless = 10'000'000;

// What the user is told once the row limit stops the log, and how to go on.
std::string RowLimitMessage(std::int32_t limit);

// The measurement log: decides for each decoded reading whether it becomes a
// row (row limit, sampling interval, Repeat rule), appends it, and then lets
// the chart and the judge see it.
class Recorder {
public:
    Recorder(base::MeasurementState& state, MeasurementTable& table, RecordHooks hooks)
        : state_(state), table_(table), hooks_(std::move(hooks)) {}

    // One decoded reading; true when it became a row.
    bool INDataToTable(const RecordSettings& settings);
    // Every second.
    void TrecordTimer(const RecordSettings& settings);
    // The interval text changed.
    void RecordSITimeChange(const std::string& text);
    // The user confirmed a new log.
    void NewLog();
    void SetRecordLimit(std::int32_t limit) { state_.RecordLimit = limit; }

private:
    // The interval of a text: "-", "+" and "" are 0. An unreadable text is
    // reported once, however many readings meet it.
    std::optional<std::int32_t> Interval(const std::string& text);

    base::MeasurementState& state_;
    MeasurementTable& table_;
    RecordHooks hooks_;
    std::string reportedBadInterval_;
};

} // namespace meterdesk::record
