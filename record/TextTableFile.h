#pragma once

#include "record/MeasurementTable.h"
#include "record/SafeFile.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::record {

// Told now and then how far a long walk has come: `done` of `total`.
using WalkProgress = std::function<void(std::size_t done, std::size_t total)>;

// Fills `list` with the parts of `text` between occurrences of `delimiter`
// (one or more characters), replacing what it held: "a\tb\t" gives "a", "b"
// and "", an empty text one empty part.
void SplitFields(std::string_view text, std::string_view delimiter, std::vector<std::string>& list);

// The header line of the tab-separated text, without its line break.
inline constexpr std::string_view kTextHeader = "No.\tTime\tDC/AC\tValue\tUnit\tAuto";

// Writes the first `rows` rows of the table as tab-separated text: the
// header, then one line per row, every line ending in CR LF; texts lose the
// control characters and blanks around them.
// Appends one row as a line of the text form, CR LF included.
void AppendTextRow(const MeasurementTable& table, std::size_t row, std::string& line);

void WriteTextTable(const MeasurementTable& table, std::size_t rows, ByteSink& sink,
                    const WalkProgress& progress = {});

// What a load did: whether it read the whole file, and the rows it added.
struct LoadOutcome {
    bool ok = false;
    std::size_t rows = 0;
};

// Appends the rows of a tab-separated text to the table. The first line is
// skipped whatever it holds; each further line's pieces fill No, Time,
// DC/AC, Value, Unit and Auto in turn. A line whose first piece is no whole
// number, or with more than six pieces, or a text without any line ends the
// load; the rows before it stay.
LoadOutcome ReadTextTable(std::string_view bytes, MeasurementTable& table,
                          const WalkProgress& progress = {});

} // namespace meterdesk::record
