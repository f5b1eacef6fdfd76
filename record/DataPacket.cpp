#include "record/DataPacket.h"

#include "base/NumberText.h"
#include "base/ShortCopy.h"
#include "record/InputFile.h"
#include "record/XmlScanner.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::record {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kProgressRows = 8192;
// A row of texts that fill their 20 characters, escaped, fits beyond a
// full chunk; a longer one (UTF-8 with stray continuation bytes) makes room.
constexpr std::size_t kRowRoom = 4096;
constexpr std::array<Field, kFieldCount> kFields{Field::No,    Field::Time, Field::Func,
                                                 Field::Value, Field::Unit, Field::Range};

std::string_view EscapeOf(char c) {
    switch (c) {
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '&':
        return "&amp;";
    case '\'':
        return "&apos;";
    case '"':
        return "&quot;";
    case '\r':
        return "&#013;";
    case '\n':
        return "&#010;";
    case '\t':
        return "&#009;";
    case '\\':
        return "&#092;";
    default:
        return {};
    }
}

// Each column's ' name="', spelt out once ("DC/AC" needs no change) and
// padded, so that it is copied with one fixed-size move; the write then
// moves on by its length.
struct PaddedOpener {
    std::array<char, 16> bytes{};
    std::size_t size = 0;
};

constexpr PaddedOpener Padded(std::string_view opener) {
    PaddedOpener padded;
    for (std::size_t i = 0; i < opener.size(); ++i) {
        padded.bytes[i] = opener[i];
    }
    padded.size = opener.size();
    return padded;
}

constexpr std::array<PaddedOpener, kFieldCount> kOpeners{Padded(" No=\""),    Padded(" Time=\""),
                                                         Padded(" DC/AC=\""), Padded(" Value=\""),
                                                         Padded(" Unit=\""),  Padded(" Auto=\"")};

constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> needs{};
    for (const char c : {'<', '>', '&', '\'', '"', '\r', '\n', '\t', '\\'}) {
        needs[static_cast<unsigned char>(c)] = true;
    }
    return needs;
}();

void AppendFields(std::string& out) {
    out += "<METADATA><FIELDS>";
    for (const Field field : kFields) {
        const std::string_view name = FieldName(field);
        const std::string attrName = PacketAttrName(name);
        out += "<FIELD ";
        if (attrName != name) {
            out += "fieldname=\"";
            AppendPacketEscaped(out, name);
            out += "\" ";
        }
        out += "attrname=\"";
        AppendPacketEscaped(out, attrName);
        out +=
            field == Field::No ? "\" fieldtype=\"i4\"/>" : "\" fieldtype=\"string\" WIDTH=\"20\"/>";
    }
    out += "</FIELDS>";
}

// Every row is an insertion nobody merged: three numbers per change, the
// change's number, the one it replaces (none) and its kind (4, inserted).
// A million rows make 10 MB of it: it goes to the sink in blocks of its
// own, each change's "N 0 4 " kept ready and counted up in its digits.
void AppendChangeLog(std::string& out, std::size_t rows, ByteSink& sink) {
    if (rows == 0) {
        out += "<PARAMS/></METADATA>";
        return;
    }
    out += "<PARAMS CHANGE_LOG=\"";
    sink.Write(out);
    out.clear();
    static constexpr std::string_view kRest = " 0 4 ";
    // The entry is copied whole, with one fixed-size move: the block has
    // room for one beyond its chunk.
    std::array<char, 32> entry{'1'};
    std::size_t digits = 1;
    std::memcpy(entry.data() + digits, kRest.data(), kRest.size());
    const auto block = std::make_unique_for_overwrite<char[]>(kChunk + entry.size());
    char* at = block.get();
    for (std::size_t change = 1; change <= rows; ++change) {
        if (at - block.get() >= static_cast<std::ptrdiff_t>(kChunk)) {
            sink.Write(std::string_view(block.get(), static_cast<std::size_t>(at - block.get())));
            at = block.get();
        }
        std::memcpy(at, entry.data(), entry.size());
        at += digits + kRest.size();
        std::size_t digit = digits;
        while (digit > 0 && entry[digit - 1] == '9') {
            entry[--digit] = '0';
        }
        if (digit > 0) {
            ++entry[digit - 1];
        } else { // 99..9 became 100..0: one digit more
            entry[0] = '1';
            entry[digits++] = '0';
            std::memcpy(entry.data() + digits, kRest.data(), kRest.size());
        }
    }
    // The last change is still in the block: its blank ends nothing.
    out.append(block.get(), at - 1);
    out += "\"/></METADATA>";
}

} // namespace

std::string PacketAttrName(std::string_view columnName) {
    std::string name(columnName);
    for (char& c : name) {
        if (std::string_view(" !#$%()*?").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    return name;
}

void AppendPacketEscaped(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!kNeedsEscape[static_cast<unsigned char>(text[i])]) {
            continue;
        }
        out.append(text.substr(plain, i - plain));
        out.append(EscapeOf(text[i]));
        plain = i + 1;
    }
    out.append(text.substr(plain));
}

PacketRowWriter::PacketRowWriter(ByteSink& sink, bool utf8Texts, RowsOnly)
    : sink_(sink), buffer_(std::make_unique_for_overwrite<char[]>(kChunk + kRowRoom)),
      capacity_(kChunk + kRowRoom), utf8_(utf8Texts), rowsOnly_(true) {}

std::unique_ptr<RowWriter> PacketRowWriter::RowsOnlyInto(ByteSink& sink) const {
    return std::unique_ptr<RowWriter>(new PacketRowWriter(sink, utf8_, RowsOnly{}));
}

void PacketRowWriter::TakeWritten(std::string_view bytes) {
    Flush();
    sink_.Write(bytes);
}

PacketRowWriter::PacketRowWriter(ByteSink& sink, std::size_t rows, bool utf8Texts)
    : PacketRowWriter(sink, utf8Texts, RowsOnly{}) {
    rowsOnly_ = false;
    headFor_ = rows;
}

void PacketRowWriter::Take(const TableRowView& view) {
    static constexpr std::string_view kRowStart = "<ROW RowState=\"4\"";
    const TableRowView row = CutRowTexts(view, utf8_);
    // Every byte escaped takes at most six; an opener's padding may reach
    // past what it wrote.
    std::size_t room = kRowStart.size() + 32 + 2 + 16;
    for (const std::string_view text : row.Texts) {
        room += 16 + text.size() * 6;
    }
    if (used_ + room > capacity_) {
        Flush();
        if (room > capacity_) {
            buffer_ = std::make_unique_for_overwrite<char[]>(room);
            capacity_ = room;
        }
    }
    char* at = buffer_.get() + used_;
    const auto put = [&at](std::string_view piece) {
        base::CopyShort(at, piece.data(), piece.size());
        at += piece.size();
    };
    const auto open = [&at](std::size_t field) {
        std::memcpy(at, kOpeners[field].bytes.data(), kOpeners[field].bytes.size());
        at += kOpeners[field].size;
    };
    put(kRowStart);
    if (row.HasNo) {
        open(0);
        at = std::to_chars(at, at + 16, row.No).ptr;
        *at++ = '"';
    }
    for (std::size_t i = 0; i < row.Texts.size(); ++i) {
        const std::string_view text = row.Texts[i];
        if (text.empty()) {
            continue;
        }
        open(i + 1);
        // Most texts need no reference: looked through once, copied whole.
        bool escape = false;
        for (const char c : text) {
            escape |= kNeedsEscape[static_cast<unsigned char>(c)];
        }
        if (!escape) {
            base::CopyShort(at, text.data(), text.size());
            at += text.size();
        } else {
            for (const char c : text) {
                if (kNeedsEscape[static_cast<unsigned char>(c)]) {
                    put(EscapeOf(c));
                } else {
                    *at++ = c;
                }
            }
        }
        *at++ = '"';
    }
    put("/>");
    used_ = static_cast<std::size_t>(at - buffer_.get());
    if (used_ >= kChunk) {
        Flush();
    }
}

void PacketRowWriter::Flush() {
    // The head goes out with the first bytes: a reader of rows on other
    // threads has them at work meanwhile (its 10 MB change log is a wait
    // for the file system).
    if (headFor_) {
        std::string head;
        head.reserve(kChunk + 512);
        head += kPacketStart;
        AppendFields(head);
        AppendChangeLog(head, *headFor_, sink_);
        head += "<ROWDATA>";
        sink_.Write(head);
        headFor_.reset();
    }
    sink_.Write(std::string_view(buffer_.get(), used_));
    used_ = 0;
}

void PacketRowWriter::Finish() {
    Flush();
    if (!rowsOnly_) {
        sink_.Write("</ROWDATA></DATAPACKET>\r\n");
    }
}

void WriteDataPacket(const MeasurementTable& table, std::size_t rows, ByteSink& sink,
                     const WalkProgress& progress) {
    rows = std::min(rows, table.RowCount());
    PacketRowWriter writer(sink, rows, table.Utf8Texts());
    for (std::size_t row = 0; row < rows; ++row) {
        writer.Take(table.RowView(row));
        if (progress && (row + 1) % kProgressRows == 0) {
            progress(row + 1, rows);
        }
    }
    writer.Finish();
}

} // namespace meterdesk::record
