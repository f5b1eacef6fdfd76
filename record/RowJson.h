#pragma once

#include "base/Locale.h"
#include "record/MeasurementTable.h"
#include "record/RowSink.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace meterdesk::record {

// "2026-12-09T10:00:00.123Z": UTC, ISO 8601 with milliseconds.
std::string UtcTimeText(std::chrono::system_clock::time_point time);

// One row as a JSON object on one line, without a line break:
// {"no":1,"time":"...","text":"-12.34","value":-12.34,"unit":"V",
//  "unit_text":"V","coupling":"DC","range":"AUTO"}. `value` is the value
// text read in the user's number format, null where it is no number (an
// overload); `unit` is the unit text with its symbols as Unicode.
std::string RowJson(const TableRow& row, std::chrono::system_clock::time_point arrival,
                    const base::NumberFormat& format);

// Each row as its text line (the header first) on a stream, flushed at once.
class TextRowSink final : public RowSink {
public:
    explicit TextRowSink(std::FILE* out);
    void Take(const LoggedRow& row) override;

private:
    std::FILE* out_;
    std::string line_;
};

// Each row as a JSON line on a stream, flushed at once.
class JsonRowSink final : public RowSink {
public:
    // `format` is read at each row: the user's decimal separator.
    JsonRowSink(std::FILE* out, const base::NumberFormat& format) : out_(out), format_(format) {}
    void Take(const LoggedRow& row) override;

private:
    std::FILE* out_;
    const base::NumberFormat& format_;
};

} // namespace meterdesk::record
