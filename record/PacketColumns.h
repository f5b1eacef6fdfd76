#pragma once

#include "base/NumberText.h"
#include "record/MeasurementTable.h"
#include "record/XmlScanner.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::record {

// Column names are short: compared by fixed-size loads, which the compiler
// makes into a compare or two, rather than a loop whose end is hard to
// predict.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto same = [&]<std::size_t N>() { return std::memcmp(a.data(), b.data(), N) == 0; };
    switch (a.size()) {
    case 0:
        return true;
    case 1:
        return a[0] == b[0];
    case 2:
        return same.template operator()<2>();
    case 3:
        return same.template operator()<3>();
    case 4:
        return same.template operator()<4>();
    case 5:
        return same.template operator()<5>();
    case 6:
        return same.template operator()<6>();
    case 7:
        return same.template operator()<7>();
    case 8:
        return same.template operator()<8>();
    default:
        return a == b;
    }
}

// The columns a data packet's FIELD list names, and how a ROW's
// attributes fill them.
class PacketColumns {
public:
    std::size_t Count() const { return names_.size(); }
    void Add(std::string_view name) {
        firstOfName_[names_.size()] = static_cast<std::size_t>(
            std::find(names_.begin(), names_.end(), name) - names_.begin());
        names_.emplace_back(name);
    }

    // The values of the row being read, by column: kept by the caller,
    // so that a row does not clear them.
    using Values = std::array<std::string_view, kFieldCount>;
    // For each attribute, the column its value fills; kNone: none.
    static constexpr std::int8_t kNone = -1;

    // Column i of the file goes to column i of the table; the texts stay
    // in the scanner until the row is appended. A column takes the first
    // attribute of its name. Attributes mostly come in the columns' order,
    // so each is first tried against the column after the last one found.
    // Returns which columns of `values` hold this row's value, as bits:
    // cheaper to clear for every row than the values themselves. With
    // `layout`, says for each attribute the column it filled.
    unsigned Match(const XmlScanner& scanner, Values& values, std::int8_t* layout = nullptr) const {
        unsigned found = 0;
        std::size_t next = 0;
        for (std::size_t a = 0; a < scanner.AttributeCount(); ++a) {
            const XmlScanner::Attribute& attribute = scanner.Attributes()[a];
            if (layout != nullptr) {
                layout[a] = kNone;
            }
            std::size_t column = next;
            if (column >= names_.size() || !SameName(names_[column], attribute.name)) {
                column = 0;
                while (column < names_.size() && !SameName(names_[column], attribute.name)) {
                    ++column;
                }
                if (column == names_.size()) {
                    continue;
                }
            }
            column = firstOfName_[column];
            next = column + 1;
            if ((found & (1U << column)) == 0) {
                values[column] = attribute.Value();
                found |= 1U << column;
                if (layout != nullptr) {
                    layout[a] = static_cast<std::int8_t>(column);
                }
            }
        }
        return found;
    }

    // The row of the values `found`; false when No is no whole number.
    bool Fill(const Values& values, unsigned found, TableRowView& row) const {
        row.HasNo = false;
        row.Texts = {};
        for (std::size_t i = 0; i < names_.size(); ++i) {
            const std::size_t first = firstOfName_[i];
            if ((found & (1U << first)) == 0) {
                continue;
            }
            if (i == 0) {
                const auto no = base::TextToInt(values[first]);
                if (!no) {
                    return false;
                }
                row.No = *no;
                row.HasNo = true;
            } else {
                row.Texts[i - 1] = values[first];
            }
        }
        return true;
    }

    bool ReadRow(const XmlScanner& scanner, TableRowView& row, Values& values) const {
        return Fill(values, Match(scanner, values), row);
    }

private:
    std::vector<std::string> names_;
    // For each column, the first column of the same name (itself, unless a
    // file names two alike).
    std::array<std::size_t, kFieldCount> firstOfName_{};
};

} // namespace meterdesk::record
