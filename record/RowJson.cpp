#include "record/RowJson.h"

#include "base/NumberText.h"
#include "base/Utf8.h"
#include "decode/SegmentFont.h"
#include "record/TextTableFile.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace meterdesk::record {

namespace {

// The length of the UTF-8 sequence starting at `at`, 0 when it is none.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte >= 0xF0 && byte < 0xF5   ? 4
                               : byte >= 0xE0 && byte < 0xF0 ? 3
                               : byte >= 0xC2 && byte < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// A JSON string. Texts are 8-bit: a byte that starts no UTF-8 sequence
// becomes U+FFFD, so the line stays valid JSON whatever the table holds.
void AppendString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else {
            base::AppendUtf8(out, U'\uFFFD');
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        out += "null";
        return;
    }
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, *value);
    out.append(digits, result.ptr);
}

} // namespace

std::string UtcTimeText(std::chrono::system_clock::time_point time) {
    const auto since = time.time_since_epoch();
    auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds);
    const std::time_t whole = seconds.count();
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis.count()));
    return text;
}

std::string RowJson(const TableRow& row, std::chrono::system_clock::time_point arrival,
                    const base::NumberFormat& format) {
    std::string out = "{\"no\":";
    out += row.HasNo ? std::to_string(row.No) : "null";
    out += ",\"time\":";
    AppendString(out, UtcTimeText(arrival));
    out += ",\"text\":";
    AppendString(out, row.Value);
    out += ",\"value\":";
    AppendNumber(out, base::TextToFloat(row.Value, format));
    out += ",\"unit\":";
    AppendString(out, decode::UnitSymbolText(row.Unit));
    out += ",\"unit_text\":";
    AppendString(out, row.Unit);
    out += ",\"coupling\":";
    AppendString(out, row.Func);
    out += ",\"range\":";
    AppendString(out, row.Range);
    out += '}';
    return out;
}

TextRowSink::TextRowSink(std::FILE* out) : out_(out) {
    std::fprintf(out_, "%.*s\r\n", static_cast<int>(kTextHeader.size()), kTextHeader.data());
    std::fflush(out_);
}

void TextRowSink::Take(const LoggedRow& row) {
    line_.clear();
    AppendTextRow(row.table, row.index, line_);
    std::fwrite(line_.data(), 1, line_.size(), out_);
    std::fflush(out_);
}

void JsonRowSink::Take(const LoggedRow& row) {
    std::string line = RowJson(row.table.Row(row.index), row.arrival, format_);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);
}

} // namespace meterdesk::record
