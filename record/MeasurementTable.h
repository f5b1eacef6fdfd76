#pragma once

#include "record/PackedRows.h"
#include "record/TextPool.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::record {

// The six fields of the measurement table, in order.
enum class Field : std::uint8_t { No, Time, Func, Value, Unit, Range };
inline constexpr std::size_t kFieldCount = 6;
inline constexpr std::size_t kTextFieldLength = 20;

// "No", "Time", "DC/AC", "Value", "Unit", "Auto".
std::string_view FieldName(Field field);
// The field of a name, whatever its letter case.
std::optional<Field> FindField(std::string_view name);

// Cuts a text to at most `limit` characters: bytes in an 8-bit code page,
// whole characters (never half of one) in UTF-8.
std::string CutText(std::string_view text, std::size_t limit, bool utf8);
std::string_view CutTextView(std::string_view text, std::size_t limit, bool utf8);

// One row as the log fills it.
struct TableRow {
    std::int32_t No = 0;
    std::string Time;
    std::string Func; // "DC/AC"
    std::string Value;
    std::string Unit;
    std::string Range; // "Auto"
    bool HasNo = true; // false: the row has no number (a data packet may leave it out)
};

// The same row over texts held elsewhere (a loader's file buffer).
struct TableRowView {
    std::int32_t No = 0;
    std::array<std::string_view, 5> Texts; // Time, DC/AC, Value, Unit, Auto
    bool HasNo = true;
};

// The row as a table stores it: each text cut to kTextFieldLength characters.
// Inline, as the file writers cut every row and most texts are short.
inline TableRowView CutRowTexts(TableRowView row, bool utf8) {
    for (std::string_view& text : row.Texts) {
        if (text.size() > kTextFieldLength) {
            text = CutTextView(text, kTextFieldLength, utf8);
        }
    }
    return row;
}

// The measurement table cds1: rows in append order, no key. Every appended
// row is an insertion (the data packet records that change state). Texts are
// cut to 20 characters and stored once per field however often they
// repeat; a row is six small numbers, packed (a live log's row takes about
// 8 bytes).
class MeasurementTable {
public:
    explicit MeasurementTable(bool utf8Texts = false) : utf8_(utf8Texts) {}

    void Append(const TableRow& row);
    void AppendView(const TableRowView& row);
    void Clear();
    // Drops the rows from `rows` on (a load taking back what it added); views
    // read the table afresh.
    void Truncate(std::size_t rows);
    std::size_t RowCount() const { return rows_.Size(); }
    // Whether texts are cut by characters of UTF-8 (else by bytes).
    bool Utf8Texts() const { return utf8_; }
    bool Empty() const { return rows_.Size() == 0; }

    // Row numbers are kept shifted into the unsigned range, order kept.
    std::int32_t No(std::size_t row) const {
        return static_cast<std::int32_t>(rows_.Get(row, 0) ^ kSignBit);
    }
    bool HasNo(std::size_t row) const;
    const std::string& Text(std::size_t row, Field field) const;
    TableRow Row(std::size_t row) const;
    // The same over the table's own texts, valid while the table is unchanged.
    TableRowView RowView(std::size_t row) const;

    // Views (the grid) hear of appended rows and of emptying, unless they are
    // suspended; resuming tells them to read the table afresh.
    struct Observer {
        std::function<void(std::size_t first, std::size_t count)> beforeAppend;
        std::function<void()> afterAppend;
        std::function<void()> reset;
    };
    void SetObserver(Observer observer) { observer_ = std::move(observer); }
    void SuspendViews() { ++suspended_; }
    void ResumeViews();
    bool ViewsSuspended() const { return suspended_ > 0; }

    // Distinct texts held, for diagnostics and benchmarks.
    std::size_t DistinctTexts() const;

private:
    static constexpr std::uint32_t kSignBit = 0x8000'0000U;

    bool utf8_;
    PackedRows rows_; // No, then the text numbers of Time .. Range
    // Each field has its own pool, so the many distinct times of a long log
    // do not crowd the values' lookups out of the cache. Times come in runs
    // (many readings a second) and a time seldom comes back: its pool keeps
    // no index.
    std::array<TextPool, kFieldCount - 1> texts_{TextPool(false), TextPool(), TextPool(),
                                                 TextPool(), TextPool()};
    // Rows without a number, ascending; only loaded files have any, so a
    // short list beats a flag in every row.
    std::vector<std::size_t> unnumbered_;
    Observer observer_;
    int suspended_ = 0;
};

} // namespace meterdesk::record
