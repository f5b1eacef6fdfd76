#include "record/TextTableFile.h"

#include "base/NumberText.h"

#include <array>
#include <charconv>
#include <cstring>

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

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
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
    // The line is put together in place and appended once; a text too long
    // for the room left (never one this program stored) goes on its own.
    char text[512];
    char* at = text;
    const auto put = [&](std::string_view piece) {
        if (piece.size() > static_cast<std::size_t>(text + sizeof text - at)) {
            line.append(text, at);
            line.append(piece);
            at = text;
            return;
        }
        std::memcpy(at, piece.data(), piece.size());
        at += piece.size();
    };
    if (table.HasNo(row)) {
        at = std::to_chars(at, at + 16, table.No(row)).ptr;
    }
    for (const Field field : {Field::Time, Field::Func, Field::Value, Field::Unit, Field::Range}) {
        put("\t");
        put(TrimControls(table.Text(row, field)));
    }
    put("\r\n");
    line.append(text, at);
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

TextTableReader::TextTableReader(MeasurementTable& table, std::size_t total,
                                 const WalkProgress& progress)
    : table_(table), total_(total), progress_(progress) {}

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
    while (at < bytes.size()) {
        std::size_t end = at;
        while (end < bytes.size() && !IsLineBreak(bytes[end])) {
            ++end;
        }
        if (end == bytes.size()) {
            // The line goes on in the next block.
            if (partial_.size() + (end - at) > kMaxTextLineBytes) {
                ++lines_;
                return Refuse("longer than " + std::to_string(kMaxTextLineBytes) + " bytes");
            }
            partial_.append(bytes.substr(at));
            break;
        }
        std::string_view line = bytes.substr(at, end - at);
        if (!partial_.empty()) {
            partial_.append(line);
            line = partial_;
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
        if (!TakeLine(line)) {
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
            TakeLine(last);
        }
        if (!failed_ && lines_ == 0) {
            outcome_.error = "the file is empty";
            failed_ = true;
        }
        outcome_.ok = !failed_;
    }
    return std::move(outcome_);
}

bool TextTableReader::TakeLine(std::string_view line) {
    ++lines_;
    if (line.size() > kMaxTextLineBytes) {
        return Refuse("longer than " + std::to_string(kMaxTextLineBytes) + " bytes");
    }
    if (lines_ == 1) {
        return true; // the header, whatever it holds
    }
    // Pieces are looked at where they lie; the count stops at the seventh.
    std::array<std::string_view, kFieldCount> pieces{};
    std::size_t count = 0;
    for (;;) {
        if (count == kFieldCount) {
            return Refuse("more than six pieces");
        }
        const std::size_t tab = line.find('\t');
        pieces[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos) {
            break;
        }
        line.remove_prefix(tab + 1);
    }
    const auto no = base::TextToInt(pieces[0]);
    if (!no) {
        return Refuse("its first piece is no whole number");
    }
    // Columns without a piece stay without a value.
    table_.AppendView(TableRowView{*no, {pieces[1], pieces[2], pieces[3], pieces[4], pieces[5]}});
    ++outcome_.rows;
    if (progress_ && outcome_.rows % kProgressRows == 0) {
        progress_(position_, total_);
    }
    return true;
}

LoadOutcome ReadTextTable(std::string_view bytes, MeasurementTable& table,
                          const WalkProgress& progress) {
    TextTableReader reader(table, bytes.size(), progress);
    reader.Feed(bytes);
    return reader.Finish();
}

} // namespace meterdesk::record
