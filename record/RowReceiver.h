#pragma once

#include "record/MeasurementTable.h"

#include <algorithm>
#include <cstddef>

namespace meterdesk::record {

// Where a loader puts each row it has read: the table, or a file being
// written as the rows come (a convert, which keeps no table).
class RowReceiver {
public:
    virtual ~RowReceiver() = default;
    virtual void Take(const TableRowView& row) = 0;
    // The last `count` rows taken are taken back: the document turned out
    // faulty after them.
    virtual void TakeBack(std::size_t count) = 0;
};

// A file written row by row as a loader reads them (a convert). Rows taken
// back stay written: the caller then abandons the file.
class RowWriter : public RowReceiver {
public:
    void TakeBack(std::size_t /*count*/) override {}
    // After the last row: the rest of the file's bytes.
    virtual void Finish() = 0;
};

// The table as a loader's receiver.
class TableReceiver final : public RowReceiver {
public:
    explicit TableReceiver(MeasurementTable& table) : table_(table) {}
    void Take(const TableRowView& row) override { table_.AppendView(row); }
    void TakeBack(std::size_t count) override {
        table_.Truncate(table_.RowCount() - std::min(count, table_.RowCount()));
    }

private:
    MeasurementTable& table_;
};

} // namespace meterdesk::record
