#pragma once

#include "record/MeasurementTable.h"
#include "record/RowReceiver.h"
#include "record/SafeFile.h"
#include "record/SegmentedRead.h"

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::record {

// Fills `list` with the parts of `text` between occurrences of `delimiter`
// (one or more characters), replacing what it held: "a\tb\t" gives "a", "b"
// and "", an empty text one empty part.
void SplitFields(std::string_view text, std::string_view delimiter, std::vector<std::string>& list);

// The header line of the tab-separated text, without its line break.
inline constexpr std::string_view kTextHeader = "No.\tTime\tDC/AC\tValue\tUnit\tAuto";

// Appends one row as a line of the text form, CR LF included; texts lose
// the control characters and blanks around them.
void AppendTextRow(const TableRowView& row, std::string& line);
void AppendTextRow(const MeasurementTable& table, std::size_t row, std::string& line);

// Writes the first `rows` rows of the table as tab-separated text: the
// header, then one line per row, every line ending in CR LF.
void WriteTextTable(const MeasurementTable& table, std::size_t rows, ByteSink& sink,
                    const WalkProgress& progress = {});

// What a load did: whether it read the whole file, the rows it added, and
// why it stopped when it failed.
struct LoadOutcome {
    bool ok = false;
    std::size_t rows = 0;
    std::string error;
};

// A longer line is refused rather than held: no row of this program comes
// near it, and a file without line breaks must not fill the memory.
inline constexpr std::size_t kMaxTextLineBytes = 64 * 1024;

// A line's tab-separated pieces: the first six, and how many there were.
struct LinePieces {
    std::array<std::string_view, kFieldCount> piece;
    std::size_t count = 0;
};

// Appends the rows of a tab-separated text to the receiver as its bytes arrive,
// in blocks of any size; each line is read where it lies, and only a line
// cut by a block's end is copied. The first line is skipped whatever it
// holds; each further line's pieces fill No, Time, DC/AC, Value, Unit and
// Auto in turn. A line whose first piece is no whole number, with more than
// six pieces or longer than kMaxTextLineBytes, or a text without any line
// ends the load; the rows before it stay.
class TextTableReader {
public:
    // `total`: the bytes to come, for the progress.
    TextTableReader(RowReceiver& rows, std::size_t total, const WalkProgress& progress = {});

    // false once a line failed; the reader then takes nothing more.
    bool Feed(std::string_view bytes);
    // After the last block.
    LoadOutcome Finish();
    // Goes on after `lines` lines (the header among them) that gave `rows`
    // rows and end at `offset` of the file, which the next block starts at.
    void ResumeAfter(std::size_t lines, std::size_t rows, std::size_t offset);

private:
    bool TakeLine(std::string_view line, const LinePieces& pieces);
    bool Refuse(std::string why);

    RowReceiver& rows_;
    std::size_t total_;
    WalkProgress progress_; // a copy: callers pass temporaries
    LoadOutcome outcome_;
    std::string partial_; // a line cut by the end of a block
    std::size_t lines_ = 0;
    std::size_t fed_ = 0;       // bytes of the blocks before this one
    std::size_t position_ = 0;  // where the line being taken ends
    bool skipLineFeed_ = false; // the last block ended in CR
    bool failed_ = false;
};

LoadOutcome ReadTextTable(std::string_view bytes, MeasurementTable& table,
                          const WalkProgress& progress = {});

// Where the rows begin after the header line at the start of `head`: only
// when it ends in LF or CR LF within `head`, which the rows' segments are
// split by (a text of lone CRs is read in order).
std::optional<std::size_t> TextRowsBegin(std::string_view head);

// A text's rows as segments: each begins after a line feed, and holds only
// lines that are rows.
class TextSegments final : public SegmentFormat {
public:
    std::optional<std::size_t> FindRowStart(std::string_view bytes,
                                            std::size_t from) const override;
    bool ReadSegment(std::string_view bytes, std::uint64_t offset, bool last,
                     RowReceiver& rows) const override;
};

// A text writer fed row by row, for rows that come from a loader rather
// than a table: the header at once, each row as it comes (its texts cut as
// a table would store them), the rest of the bytes at Finish.
class TextRowWriter final : public RowWriter {
public:
    TextRowWriter(ByteSink& sink, bool utf8Texts);
    void Take(const TableRowView& row) override;
    void Finish() override;
    std::unique_ptr<RowWriter> RowsOnlyInto(ByteSink& sink) const override;
    void TakeWritten(std::string_view bytes) override;

private:
    struct RowsOnly {};
    TextRowWriter(ByteSink& sink, bool utf8Texts, RowsOnly);

    ByteSink& sink_;
    std::string chunk_;
    bool utf8_;
};

} // namespace meterdesk::record
