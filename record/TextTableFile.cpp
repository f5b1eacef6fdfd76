#include "record/TextTableFile.h"

#include "base/NumberText.h"

#include <charconv>

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

// The next line of `bytes` from `at`, ending at CR, LF or CR LF; moves `at`
// past its line break.
std::string_view NextLine(std::string_view bytes, std::size_t& at) {
    const std::size_t start = at;
    std::size_t end = start;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') {
        ++end;
    }
    if (end == bytes.size()) {
        at = end;
        return bytes.substr(start);
    }
    at = end + 1;
    if (bytes[end] == '\r' && at < bytes.size() && bytes[at] == '\n') {
        ++at;
    }
    return bytes.substr(start, end - start);
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

void AppendTextRow(const MeasurementTable& table, std::size_t row, std::string& line) {
    if (table.HasNo(row)) {
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, table.No(row));
        line.append(digits, written.ptr);
    }
    for (const Field field : {Field::Time, Field::Func, Field::Value, Field::Unit, Field::Range}) {
        line += '\t';
        line.append(TrimControls(table.Text(row, field)));
    }
    line.append("\r\n");
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

LoadOutcome ReadTextTable(std::string_view bytes, MeasurementTable& table,
                          const WalkProgress& progress) {
    LoadOutcome outcome;
    if (bytes.empty()) {
        return outcome; // no first line to skip
    }
    std::size_t at = 0;
    NextLine(bytes, at);
    std::vector<std::string> pieces;
    TableRow row;
    std::size_t lines = 0;
    while (at < bytes.size()) {
        SplitFields(NextLine(bytes, at), "\t", pieces);
        if (pieces.size() > kFieldCount) {
            return outcome;
        }
        const auto no = base::TextToInt(pieces[0]);
        if (!no) {
            return outcome;
        }
        // Columns without a piece stay without a value.
        row.No = *no;
        std::string* texts[] = {&row.Time, &row.Func, &row.Value, &row.Unit, &row.Range};
        for (std::size_t k = 1; k < kFieldCount; ++k) {
            if (k < pieces.size()) {
                texts[k - 1]->swap(pieces[k]);
            } else {
                texts[k - 1]->clear();
            }
        }
        table.Append(row);
        ++outcome.rows;
        if (progress && ++lines % kProgressRows == 0) {
            progress(at, bytes.size());
        }
    }
    outcome.ok = true;
    return outcome;
}

} // namespace meterdesk::record
