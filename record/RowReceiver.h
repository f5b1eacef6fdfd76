#pragma once

#include "record/MeasurementTable.h"
#include "record/SafeFile.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace meterdesk::record {

// Told now and then how far a long walk has come: `done` of `total`.
using WalkProgress = std::function<void(std::size_t done, std::size_t total)>;

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

    // For rows written on another thread: a writer of the same form that
    // writes only rows, into `sink` (its Finish writes what it holds), or
    // nullptr when rows are to come one by one. A writer that makes one
    // takes their bytes with TakeWritten.
    virtual std::unique_ptr<RowWriter> RowsOnlyInto(ByteSink& /*sink*/) const { return nullptr; }
    // Rows written that way, in file order: their bytes go on after the
    // rows taken so far.
    virtual void TakeWritten(std::string_view /*bytes*/) {}
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
