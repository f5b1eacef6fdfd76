#include "record/MeasurementTable.h"

#include <algorithm>
#include <cctype>

namespace meterdesk::record {

namespace {

constexpr std::array<std::string_view, kFieldCount> kNames{"No",    "Time", "DC/AC",
                                                           "Value", "Unit", "Auto"};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string_view FieldName(Field field) {
    return kNames[static_cast<std::size_t>(field)];
}

std::optional<Field> FindField(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (EqualNoCase(kNames[i], name)) {
            return static_cast<Field>(i);
        }
    }
    return std::nullopt;
}

std::string_view CutTextView(std::string_view text, std::size_t limit, bool utf8) {
    if (text.size() <= limit) {
        return text; // never more characters than bytes
    }
    if (!utf8) {
        return text.substr(0, limit);
    }
    std::size_t characters = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        // A character starts at every byte that is not a continuation byte.
        std::size_t next = end + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0U) == 0x80U) {
            ++next;
        }
        if (characters == limit) {
            break;
        }
        ++characters;
        end = next;
    }
    return text.substr(0, end);
}

std::string CutText(std::string_view text, std::size_t limit, bool utf8) {
    return std::string(CutTextView(text, limit, utf8));
}

void MeasurementTable::Append(const TableRow& row) {
    AppendView(
        TableRowView{row.No, {row.Time, row.Func, row.Value, row.Unit, row.Range}, row.HasNo});
}

void MeasurementTable::AppendView(const TableRowView& row) {
    PackedRows::Row packed{static_cast<std::uint32_t>(row.No) ^ kSignBit};
    for (std::size_t field = 0; field < row.Texts.size(); ++field) {
        packed[field + 1] =
            texts_[field].Intern(CutTextView(row.Texts[field], kTextFieldLength, utf8_));
    }
    if (!row.HasNo) {
        unnumbered_.push_back(rows_.Size());
    }
    const bool notify = suspended_ == 0;
    if (notify && observer_.beforeAppend) {
        observer_.beforeAppend(rows_.Size(), 1);
    }
    rows_.Append(packed);
    if (notify && observer_.afterAppend) {
        observer_.afterAppend();
    }
}

std::size_t MeasurementTable::DistinctTexts() const {
    std::size_t count = 0;
    for (const TextPool& pool : texts_) {
        count += pool.Size();
    }
    return count;
}

void MeasurementTable::Clear() {
    rows_.Clear();
    unnumbered_.clear();
    // The text pool stays: the next log repeats most of the same texts.
    if (suspended_ == 0 && observer_.reset) {
        observer_.reset();
    }
}

void MeasurementTable::Truncate(std::size_t rows) {
    if (rows >= rows_.Size()) {
        return;
    }
    rows_.Truncate(rows);
    unnumbered_.erase(std::lower_bound(unnumbered_.begin(), unnumbered_.end(), rows),
                      unnumbered_.end());
    if (suspended_ == 0 && observer_.reset) {
        observer_.reset();
    }
}

void MeasurementTable::ResumeViews() {
    if (suspended_ > 0 && --suspended_ == 0 && observer_.reset) {
        observer_.reset();
    }
}

const std::string& MeasurementTable::Text(std::size_t row, Field field) const {
    static const std::string kNoText;
    if (field == Field::No) {
        return kNoText;
    }
    const auto column = static_cast<std::size_t>(field);
    return texts_[column - 1].Text(rows_.Get(row, column));
}

bool MeasurementTable::HasNo(std::size_t row) const {
    return unnumbered_.empty() || !std::binary_search(unnumbered_.begin(), unnumbered_.end(), row);
}

TableRowView MeasurementTable::RowView(std::size_t row) const {
    return {No(row),
            {Text(row, Field::Time), Text(row, Field::Func), Text(row, Field::Value),
             Text(row, Field::Unit), Text(row, Field::Range)},
            HasNo(row)};
}

TableRow MeasurementTable::Row(std::size_t row) const {
    return {No(row),
            Text(row, Field::Time),
            Text(row, Field::Func),
            Text(row, Field::Value),
            Text(row, Field::Unit),
            Text(row, Field::Range),
            HasNo(row)};
}

} // namespace meterdesk::record
