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

std::string CutText(std::string_view text, std::size_t limit, bool utf8) {
    if (!utf8) {
        return std::string(text.substr(0, limit));
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
    return std::string(text.substr(0, end));
}

std::uint32_t MeasurementTable::InternField(std::size_t field, std::string_view text) {
    if (hasLastText_[field] && texts_[lastText_[field]] == text) {
        return lastText_[field];
    }
    const std::string cut = CutText(text, kTextFieldLength, utf8_);
    auto& index = index_[field];
    std::uint32_t id = 0;
    if (const auto found = index.find(cut); found != index.end()) {
        id = found->second;
    } else {
        id = static_cast<std::uint32_t>(texts_.size());
        texts_.push_back(cut);
        index.emplace(texts_.back(), id);
    }
    lastText_[field] = id;
    hasLastText_[field] = true;
    return id;
}

void MeasurementTable::Append(const TableRow& row) {
    const StoredRow stored{row.No,
                           {InternField(0, row.Time), InternField(1, row.Func),
                            InternField(2, row.Value), InternField(3, row.Unit),
                            InternField(4, row.Range)}};
    if (!row.HasNo) {
        unnumbered_.push_back(rows_.size());
    }
    const bool notify = suspended_ == 0;
    if (notify && observer_.beforeAppend) {
        observer_.beforeAppend(rows_.size(), 1);
    }
    rows_.push_back(stored);
    if (notify && observer_.afterAppend) {
        observer_.afterAppend();
    }
}

void MeasurementTable::Clear() {
    rows_.clear();
    unnumbered_.clear();
    // The text pool stays: the next log repeats most of the same texts.
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
    return texts_[rows_[row].text[static_cast<std::size_t>(field) - 1]];
}

bool MeasurementTable::HasNo(std::size_t row) const {
    return unnumbered_.empty() || !std::binary_search(unnumbered_.begin(), unnumbered_.end(), row);
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
