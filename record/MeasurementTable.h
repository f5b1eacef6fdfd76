#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

// The measurement table cds1: rows in append order, no key. Every appended
// row is an insertion (the data packet records that change state). Texts are
// cut to 20 characters and stored once however often they repeat, so a row
// costs 24 bytes.
class MeasurementTable {
public:
    explicit MeasurementTable(bool utf8Texts = false) : utf8_(utf8Texts) {}

    void Append(const TableRow& row);
    void Clear();
    std::size_t RowCount() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }

    std::int32_t No(std::size_t row) const { return rows_[row].no; }
    bool HasNo(std::size_t row) const;
    const std::string& Text(std::size_t row, Field field) const;
    TableRow Row(std::size_t row) const;

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
    std::size_t DistinctTexts() const { return texts_.size(); }

private:
    struct StoredRow {
        std::int32_t no;
        std::array<std::uint32_t, kFieldCount - 1> text; // Time .. Range
    };
    // Each field has its own index, so the many distinct times of a long
    // log do not crowd the values' lookups out of the cache. Consecutive rows
    // mostly repeat a field's text (the same second, unit, coupling), so the
    // field's last text is checked first.
    std::uint32_t InternField(std::size_t field, std::string_view text);

    bool utf8_;
    std::deque<StoredRow> rows_;
    std::deque<std::string> texts_; // a deque keeps the indexes' keys in place
    std::array<std::unordered_map<std::string_view, std::uint32_t>, kFieldCount - 1> index_;
    std::array<std::uint32_t, kFieldCount - 1> lastText_{};
    std::array<bool, kFieldCount - 1> hasLastText_{};
    // Rows without a number, ascending; only loaded files have any, so a
    // short list beats a flag in every row.
    std::vector<std::size_t> unnumbered_;
    Observer observer_;
    int suspended_ = 0;
};

} // namespace meterdesk::record
