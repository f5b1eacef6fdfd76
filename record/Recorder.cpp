#include "record/Recorder.h"

#include "base/NumberText.h"

#include <ctime>

namespace meterdesk::record {

std::string LocalClockText() {
    // Readings come many a second: the local time is worked out once a
    // second (each time a time zone lookup) and its text reused.
    thread_local std::time_t shownSecond = -1;
    thread_local std::string shown;
    const std::time_t now = std::time(nullptr);
    if (now != shownSecond) {
        std::tm local{};
        localtime_r(&now, &local);
        char text[16];
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
        shown = text;
        shownSecond = now;
    }
    return shown;
}

std::string RowLimitMessage(std::int32_t limit) {
    return "Row limit of " + std::to_string(limit) +
           " reached: new readings are no longer logged. To go on, choose a larger limit in "
           "the \"Record\" menu, or clear the log.";
}

std::optional<std::int32_t> Recorder::Interval(const std::string& text) {
    // Any readable text ends the bad one, so the next bad text is told again.
    if (text.empty() || text == "-" || text == "+") {
        reportedBadInterval_.clear();
        return 0;
    }
    if (const auto value = base::TextToInt(text)) {
        reportedBadInterval_.clear();
        return value;
    }
    if (text != reportedBadInterval_) {
        reportedBadInterval_ = text;
        if (hooks_.showError) {
            hooks_.showError("'" + text + "' is not a valid integer value");
        }
    }
    return std::nullopt;
}

bool Recorder::INDataToTable(const RecordSettings& settings) {
    if (state_.RecordedCount >= state_.RecordLimit) {
        return false;
    }
    if (settings.RecordSI && state_.IntervalCountdown != 0) {
        return false;
    }
    std::string composite = state_.ReadingValue;
    composite += state_.ReadingCoupling;
    composite += state_.ReadingUnit;
    composite += state_.ReadingRange;
    if (!settings.RepeatSet && composite == state_.LastRecorded) {
        return false;
    }
    state_.LastRecorded = std::move(composite);
    const auto interval = Interval(settings.RecordSITime);
    if (!interval) {
        return false; // not recorded; LastRecorded already took the reading
    }
    state_.IntervalCountdown = *interval;
    ++state_.RecordedCount;
    table_.Append({state_.NextRecordNo, hooks_.clockText ? hooks_.clockText() : std::string(),
                   state_.ReadingCoupling, state_.ReadingValue, state_.ReadingUnit,
                   state_.ReadingRange});
    ++state_.NextRecordNo;
    if (hooks_.plot) {
        hooks_.plot();
    }
    if (hooks_.judge) {
        hooks_.judge();
    }
    return true;
}

void Recorder::TrecordTimer(const RecordSettings& settings) {
    if (settings.RecordSI && state_.IntervalCountdown > 0) {
        --state_.IntervalCountdown;
    }
}

void Recorder::RecordSITimeChange(const std::string& text) {
    if (const auto interval = Interval(text)) {
        state_.IntervalCountdown = *interval;
    }
}

void Recorder::NewLog() {
    if (!table_.Empty()) {
        table_.Clear();
    }
    state_.NextRecordNo = 1;
    state_.RecordedCount = 0;
}

} // namespace meterdesk::record
