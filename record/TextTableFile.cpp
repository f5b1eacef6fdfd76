#include "record/TextTableFile.h"

#include "base/NumberText.h"
#include "base/ShortCopy.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace meterdesk::record {

namespace {

constexpr std::size_t kProgressRows = 8192;
constexpr std::size_t kChunk = 64 * 1024;

std::string_view TrimControls(std::string_view text) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isControl(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// What a byte is to the line scan: most are neither.
enum : std::uint8_t { kPlain = 0, kTab = 1, kBreak = 2 };
constexpr std::array<std::uint8_t, 256> kLineClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    classes['\t'] = kTab;
    classes['\r'] = kBreak;
    classes['\n'] = kBreak;
    return classes;
}();

// Scans `bytes` from `at` to its first CR or LF (its end when it has
// none), splitting the line at its tabs on the way; returns where the scan
// stopped. Pieces beyond the sixth are only counted.
std::size_t ScanLine(std::string_view bytes, std::size_t at, LinePieces& pieces) {
    pieces.count = 0;
    std::size_t start = at;
    const auto add = [&](std::size_t end) {
        if (pieces.count < pieces.piece.size()) {
            pieces.piece[pieces.count] = std::string_view(bytes.data() + start, end - start);
        }
        ++pieces.count;
        start = end + 1;
    };
#if defined(__SSE2__)
    // Sixteen bytes a step: where the tabs and the first line break are.
    while (bytes.size() - at >= 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
        unsigned tabs =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(b, _mm_set1_epi8('\t'))));
        const unsigned breaks = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(b, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(b, _mm_set1_epi8('\n')))));
        if (breaks != 0) {
            const unsigned end = static_cast<unsigned>(std::countr_zero(breaks));
            for (tabs &= (1U << end) - 1; tabs != 0; tabs &= tabs - 1) {
                add(at + static_cast<std::size_t>(std::countr_zero(tabs)));
            }
            add(at + end);
            return at + end;
        }
        for (; tabs != 0; tabs &= tabs - 1) {
            add(at + static_cast<std::size_t>(std::countr_zero(tabs)));
        }
        at += 16;
    }
#endif
    for (; at < bytes.size(); ++at) {
        const std::uint8_t kind = kLineClasses[static_cast<unsigned char>(bytes[at])];
        if (kind == kPlain) {
            continue;
        }
        if (kind == kBreak) {
            break;
        }
        add(at);
    }
    add(at);
    return at;
}

enum class LineFault { None, TooLong, TooManyPieces, NoNumber };

// A line after the header as a row, or why it is none.
LineFault RowOfLine(std::string_view line, const LinePieces& pieces, TableRowView& row) {
    if (line.size() > kMaxTextLineBytes) {
        return LineFault::TooLong;
    }
    if (pieces.count > kFieldCount) {
        return LineFault::TooManyPieces;
    }
    const auto no = base::TextToInt(pieces.piece[0]);
    if (!no) {
        return LineFault::NoNumber;
    }
    // Columns without a piece stay without a value.
    row.No = *no;
    row.HasNo = true;
    for (std::size_t i = 1; i < kFieldCount; ++i) {
        row.Texts[i - 1] = i < pieces.count ? pieces.piece[i] : std::string_view();
    }
    return LineFault::None;
}

std::string TooLong() {
    return "longer than " + std::to_string(kMaxTextLineBytes) + " bytes";
}

} // namespace

void SplitFields(std::string_view text, std::string_view delimiter,
                 std::vector<std::string>& list) {
    std::size_t count = 0;
    const auto add = [&](std::string_view piece) {
        if (count < list.size()) {
            list[count].assign(piece);
        } else {
            list.emplace_back(piece);
        }
        ++count;
    };
    if (!delimiter.empty()) {
        for (std::size_t at = text.find(delimiter); at != std::string_view::npos;
             at = text.find(delimiter)) {
            add(text.substr(0, at));
            text.remove_prefix(at + delimiter.size());
        }
    }
    add(text);
    list.resize(count);
}

namespace {

constexpr std::size_t kLineRoom = 512;

// A line with a text too long for the room (never one this program stored):
// the pieces go on one by one.
void AppendLongTextRow(const TableRowView& row, std::string& line) {
    if (row.HasNo) {
        char digits[16];
        line.append(digits, std::to_chars(digits, digits + sizeof digits, row.No).ptr);
    }
    for (const std::string_view piece : row.Texts) {
        line += '\t';
        if (!piece.empty()) {
            line.append(TrimControls(piece));
        }
    }
    line.append("\r\n");
}

} // namespace

void AppendTextRow(const TableRowView& row, std::string& line) {
    // The line is put together in place and appended once.
    std::size_t longest = 16 + row.Texts.size() + 2;
    for (const std::string_view piece : row.Texts) {
        longest += piece.size();
    }
    if (longest > kLineRoom) {
        AppendLongTextRow(row, line);
        return;
    }
    char text[kLineRoom];
    char* at = text;
    if (row.HasNo) {
        at = std::to_chars(at, at + 16, row.No).ptr;
    }
    for (const std::string_view piece : row.Texts) {
        *at++ = '\t';
        // A missing piece has no bytes at all, not even an address.
        if (!piece.empty()) {
            const std::string_view trimmed = TrimControls(piece);
            base::CopyShort(at, trimmed.data(), trimmed.size());
            at += trimmed.size();
        }
    }
    *at++ = '\r';
    *at++ = '\n';
    line.append(text, at);
}

void AppendTextRow(const MeasurementTable& table, std::size_t row, std::string& line) {
    AppendTextRow(table.RowView(row), line);
}

void WriteTextTable(const MeasurementTable& table, std::size_t rows, ByteSink& sink,
                    const WalkProgress& progress) {
    rows = std::min(rows, table.RowCount());
    std::string chunk;
    chunk.reserve(kChunk + 256);
    chunk.append(kTextHeader);
    chunk.append("\r\n");
    for (std::size_t row = 0; row < rows; ++row) {
        AppendTextRow(table, row, chunk);
        if (chunk.size() >= kChunk) {
            sink.Write(chunk);
            chunk.clear();
        }
        if (progress && (row + 1) % kProgressRows == 0) {
            progress(row + 1, rows);
        }
    }
    sink.Write(chunk);
}

TextTableReader::TextTableReader(RowReceiver& rows, std::size_t total, const WalkProgress& progress)
    : rows_(rows), total_(total), progress_(progress) {}

bool TextTableReader::Refuse(std::string why) {
    outcome_.error = "line " + std::to_string(lines_) + " is not a row: " + std::move(why);
    failed_ = true;
    return false;
}

bool TextTableReader::Feed(std::string_view bytes) {
    if (failed_) {
        return false;
    }
    std::size_t at = 0;
    if (skipLineFeed_ && !bytes.empty()) {
        skipLineFeed_ = false;
        at = bytes[0] == '\n' ? 1 : 0;
    }
    LinePieces pieces;
    while (at < bytes.size()) {
        const std::size_t end = ScanLine(bytes, at, pieces);
        if (end == bytes.size()) {
            // The line goes on in the next block.
            if (partial_.size() + (end - at) > kMaxTextLineBytes) {
                ++lines_;
                return Refuse(TooLong());
            }
            partial_.append(bytes.substr(at));
            break;
        }
        std::string_view line = bytes.substr(at, end - at);
        if (!partial_.empty()) {
            partial_.append(line);
            line = partial_;
            ScanLine(line, 0, pieces);
        }
        at = end + 1;
        if (bytes[end] == '\r') {
            if (at == bytes.size()) {
                skipLineFeed_ = true;
            } else if (bytes[at] == '\n') {
                ++at;
            }
        }
        position_ = fed_ + at;
        if (!TakeLine(line, pieces)) {
            return false;
        }
        partial_.clear();
    }
    fed_ += bytes.size();
    return true;
}

LoadOutcome TextTableReader::Finish() {
    if (!failed_) {
        if (!partial_.empty()) {
            const std::string last = std::move(partial_);
            partial_.clear();
            LinePieces pieces;
            ScanLine(last, 0, pieces);
            TakeLine(last, pieces);
        }
        if (!failed_ && lines_ == 0) {
            outcome_.error = "the file is empty";
            failed_ = true;
        }
        outcome_.ok = !failed_;
    }
    return std::move(outcome_);
}

void TextTableReader::ResumeAfter(std::size_t lines, std::size_t rows, std::size_t offset) {
    lines_ = lines;
    outcome_.rows = rows;
    fed_ = offset;
    position_ = offset;
}

bool TextTableReader::TakeLine(std::string_view line, const LinePieces& pieces) {
    ++lines_;
    if (lines_ == 1) {
        // The header, whatever it holds.
        return line.size() <= kMaxTextLineBytes || Refuse(TooLong());
    }
    TableRowView row;
    switch (RowOfLine(line, pieces, row)) {
    case LineFault::TooLong:
        return Refuse(TooLong());
    case LineFault::TooManyPieces:
        return Refuse("more than six pieces");
    case LineFault::NoNumber:
        return Refuse("its first piece is no whole number");
    case LineFault::None:
        break;
    }
    rows_.Take(row);
    ++outcome_.rows;
    if (progress_ && outcome_.rows % kProgressRows == 0) {
        progress_(position_, total_);
    }
    return true;
}

std::optional<std::size_t> TextRowsBegin(std::string_view head) {
    LinePieces pieces;
    const std::size_t end = ScanLine(head, 0, pieces);
    if (end >= head.size() || end > kMaxTextLineBytes) {
        return std::nullopt;
    }
    if (head[end] == '\n') {
        return end + 1;
    }
    if (end + 1 < head.size() && head[end + 1] == '\n') {
        return end + 2;
    }
    return std::nullopt;
}

std::optional<std::size_t> TextSegments::FindRowStart(std::string_view bytes,
                                                      std::size_t from) const {
    const std::size_t lineFeed = bytes.find('\n', from);
    if (lineFeed == std::string_view::npos) {
        return std::nullopt;
    }
    return lineFeed + 1;
}

bool TextSegments::ReadSegment(std::string_view bytes, std::uint64_t /*offset*/, bool last,
                               RowReceiver& rows) const {
    LinePieces pieces;
    TableRowView row;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t end = ScanLine(bytes, at, pieces);
        if ((end == bytes.size() && !last) ||
            RowOfLine(bytes.substr(at, end - at), pieces, row) != LineFault::None) {
            return false;
        }
        rows.Take(row);
        at = end + 1;
        // CR LF is one line break.
        if (at < bytes.size() && bytes[end] == '\r' && bytes[at] == '\n') {
            ++at;
        }
    }
    return true;
}

LoadOutcome ReadTextTable(std::string_view bytes, MeasurementTable& table,
                          const WalkProgress& progress) {
    TableReceiver rows(table);
    TextTableReader reader(rows, bytes.size(), progress);
    reader.Feed(bytes);
    return reader.Finish();
}

TextRowWriter::TextRowWriter(ByteSink& sink, bool utf8Texts)
    : TextRowWriter(sink, utf8Texts, RowsOnly{}) {
    chunk_.append(kTextHeader);
    chunk_.append("\r\n");
}

TextRowWriter::TextRowWriter(ByteSink& sink, bool utf8Texts, RowsOnly)
    : sink_(sink), utf8_(utf8Texts) {
    chunk_.reserve(kChunk + 256);
}

std::unique_ptr<RowWriter> TextRowWriter::RowsOnlyInto(ByteSink& sink) const {
    return std::unique_ptr<RowWriter>(new TextRowWriter(sink, utf8_, RowsOnly{}));
}

void TextRowWriter::TakeWritten(std::string_view bytes) {
    sink_.Write(chunk_);
    chunk_.clear();
    sink_.Write(bytes);
}

void TextRowWriter::Take(const TableRowView& row) {
    AppendTextRow(CutRowTexts(row, utf8_), chunk_);
    if (chunk_.size() >= kChunk) {
        sink_.Write(chunk_);
        chunk_.clear();
    }
}

void TextRowWriter::Finish() {
    sink_.Write(chunk_);
    chunk_.clear();
}

} // namespace meterdesk::record
