#pragma once

#include "record/MeasurementTable.h"

#include <chrono>
#include <cstddef>

namespace meterdesk::record {

// A row the log has just appended, and when it arrived (UTC).
struct LoggedRow {
    const MeasurementTable& table;
    std::size_t index;
    std::chrono::system_clock::time_point arrival;
};

// Where each logged row goes as soon as it is logged: standard output as
// text or as JSON lines, a broker. Every sink sees every row, in order.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void Take(const LoggedRow& row) = 0;
};

} // namespace meterdesk::record
