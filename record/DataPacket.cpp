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
void AppendChangeLog(std::string& out, std::size_t rows, ByteSink& sink) {
    if (rows == 0) {
        out += "<PARAMS/></METADATA>";
        return;
    }
    out += "<PARAMS CHANGE_LOG=\"";
    // Written into a block of its own: a million rows make 10 MB of it.
    const auto block = std::make_unique_for_overwrite<char[]>(kChunk + 32);
    char* at = block.get();
    for (std::size_t change = 1; change <= rows; ++change) {
        if (change > 1) {
            *at++ = ' ';
        }
        at = std::to_chars(at, at + 24, change).ptr;
        std::memcpy(at, " 0 4", 4);
        at += 4;
        if (at - block.get() >= static_cast<std::ptrdiff_t>(kChunk)) {
            out.append(block.get(), at);
            sink.Write(out);
            out.clear();
            at = block.get();
        }
    }
    out.append(block.get(), at);
    out += "\"/></METADATA>";
}

// Column names are short: compared in place rather than by a call.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// A data packet's bytes, whole or a window at a time.
class PacketBytes {
public:
    virtual ~PacketBytes() = default;
    // The next window: the last one's bytes from `keep` on, then what
    // follows them (the first call keeps nothing). `more`: bytes follow.
    virtual std::optional<std::string_view> Next(std::size_t keep, bool& more,
                                                 std::string& error) = 0;
    // What the progress counts to.
    virtual std::size_t Size() const = 0;
};

class WholeBytes final : public PacketBytes {
public:
    explicit WholeBytes(std::string_view bytes) : bytes_(bytes) {}
    std::optional<std::string_view> Next(std::size_t /*keep*/, bool& more,
                                         std::string& /*error*/) override {
        more = false;
        return bytes_;
    }
    std::size_t Size() const override { return bytes_.size(); }

private:
    std::string_view bytes_;
};

// A file read into one window that is used again and again, so that
// memory follows the longest element, not the file, and the bytes are
// scanned while they are still in the cache.
class FileBytes final : public PacketBytes {
public:
    explicit FileBytes(InputFile& file)
        : file_(file), buffer_(std::make_unique_for_overwrite<char[]>(kWindow)),
          capacity_(kWindow) {}

    std::optional<std::string_view> Next(std::size_t keep, bool& more,
                                         std::string& error) override {
        const std::size_t kept = filled_ - keep;
        if (kept == capacity_ || (capacity_ > kWindow && kept <= kWindow / 2)) {
            // A window full of one unfinished element grows eightfold, so
            // that a long change log is read again only a few times; once
            // that element has passed, it shrinks back.
            const std::size_t capacity = kept == capacity_ ? capacity_ * 8 : kWindow;
            auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(buffer.get(), buffer_.get() + keep, kept);
            buffer_ = std::move(buffer);
            capacity_ = capacity;
        } else if (kept > 0) {
            std::memmove(buffer_.get(), buffer_.get() + keep, kept);
        }
        filled_ = kept;
        more = true;
        while (filled_ < capacity_) {
            const std::optional<std::size_t> got =
                file_.Read(buffer_.get() + filled_, capacity_ - filled_, error);
            if (!got) {
                return std::nullopt;
            }
            if (*got == 0) {
                more = false;
                break;
            }
            filled_ += *got;
        }
        return std::string_view(buffer_.get(), filled_);
    }
    std::size_t Size() const override { return static_cast<std::size_t>(file_.Size()); }

private:
    static constexpr std::size_t kWindow = std::size_t{256} << 10;

    InputFile& file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t filled_ = 0;
};

// Reads the document once, adding each row as it comes. A structural fault
// found later takes the rows back out, so a document that is not a data
// packet adds nothing; after a row whose No is no whole number the walk adds
// no more but still checks the rest.
class PacketWalk {
public:
    PacketWalk(PacketBytes& bytes, const WalkProgress& progress)
        : bytes_(bytes), progress_(progress) {}

    bool Load(RowReceiver& rows, LoadOutcome& outcome) {
        if (!Walk(rows, outcome)) {
            rows.TakeBack(outcome.rows);
            outcome.rows = 0;
            return false;
        }
        return outcome.error.empty();
    }

private:
    bool At(std::initializer_list<std::string_view> path) const {
        return path_.size() == path.size() && std::equal(path.begin(), path.end(), path_.begin());
    }

    // false: not a data packet, or not read whole.
    bool Walk(RowReceiver& receiver, LoadOutcome& outcome) {
        bool more = false;
        const std::optional<std::string_view> first = bytes_.Next(0, more, outcome.error);
        if (!first) {
            return false;
        }
        XmlScanner scanner(*first, more);
        path_.clear();
        columns_.clear();
        bool fields = false;
        bool rowData = false;
        bool inRowData = false;
        bool adding = true;
        std::size_t rows = 0;
        TableRowView row;
        const auto notPacket = [&] {
            outcome.error = "it is not a data packet (fault near byte " +
                            std::to_string(scanner.Offset()) + ")";
            return false;
        };
        for (;;) {
            const XmlScanner::Event event = scanner.Next();
            if (event == XmlScanner::Event::More) {
                const std::optional<std::string_view> window =
                    bytes_.Next(scanner.Pending(), more, outcome.error);
                if (!window) {
                    return false;
                }
                scanner.Continue(*window, more);
                continue;
            }
            if (event == XmlScanner::Event::Error) {
                return notPacket();
            }
            if (event == XmlScanner::Event::Done) {
                return (fields && rowData) || notPacket();
            }
            if (event == XmlScanner::Event::EndTag) {
                path_.pop_back();
                inRowData = false;
                continue;
            }
            const std::string_view name = scanner.Name();
            if (path_.empty() && name != "DATAPACKET") {
                return notPacket();
            }
            if (inRowData && name == "ROW") {
                if (adding && !ReadRow(scanner, row)) {
                    outcome.error = "ROW " + std::to_string(outcome.rows + 1) +
                                    " is not a row: its first column is no whole number";
                    adding = false;
                } else if (adding) {
                    receiver.Take(row);
                    ++outcome.rows;
                }
            } else if (name == "FIELDS" && At({"DATAPACKET", "METADATA"})) {
                fields = true;
            } else if (name == "FIELD" && At({"DATAPACKET", "METADATA", "FIELDS"})) {
                const std::optional<std::string_view> attrName = scanner.Find("attrname");
                if (!attrName || columns_.size() == kFieldCount) {
                    return notPacket();
                }
                firstOfName_[columns_.size()] = static_cast<std::size_t>(
                    std::find(columns_.begin(), columns_.end(), *attrName) - columns_.begin());
                columns_.emplace_back(*attrName);
            } else if (name == "ROWDATA" && At({"DATAPACKET"})) {
                if (!fields) {
                    return notPacket();
                }
                rowData = true;
            }
            if (progress_ && name == "ROW" && ++rows % kProgressRows == 0) {
                progress_(scanner.Offset(), std::max(bytes_.Size(), scanner.Offset()));
            }
            if (event == XmlScanner::Event::StartTag) {
                path_.emplace_back(name);
                inRowData = At({"DATAPACKET", "ROWDATA"});
            }
        }
    }

    // Column i of the file goes to column i of the table; the texts stay
    // in the scanner until the row is appended. A column takes the first
    // attribute of its name. Attributes mostly come in the columns' order,
    // so each is first tried against the column after the last one found.
    bool ReadRow(const XmlScanner& scanner, TableRowView& row) const {
        // Which columns of values_ hold this row's value, as bits: cheaper
        // to clear for every row than the values themselves.
        unsigned found = 0;
        std::size_t next = 0;
        for (std::size_t a = 0; a < scanner.AttributeCount(); ++a) {
            const XmlScanner::Attribute& attribute = scanner.Attributes()[a];
            std::size_t column = next;
            if (column >= columns_.size() || !SameName(columns_[column], attribute.name)) {
                column = 0;
                while (column < columns_.size() && !SameName(columns_[column], attribute.name)) {
                    ++column;
                }
                if (column == columns_.size()) {
                    continue;
                }
            }
            column = firstOfName_[column];
            next = column + 1;
            if ((found & (1U << column)) == 0) {
                values_[column] = attribute.Value();
                found |= 1U << column;
            }
        }
        row.HasNo = false;
        row.Texts = {};
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const std::size_t first = firstOfName_[i];
            if ((found & (1U << first)) == 0) {
                continue;
            }
            if (i == 0) {
                const auto no = base::TextToInt(values_[first]);
                if (!no) {
                    return false;
                }
                row.No = *no;
                row.HasNo = true;
            } else {
                row.Texts[i - 1] = values_[first];
            }
        }
        return true;
    }

    PacketBytes& bytes_;
    const WalkProgress& progress_;
    // Owned: the window the names were read from moves on.
    std::vector<std::string> path_;
    std::vector<std::string> columns_;
    // For each column, the first column of the same name (itself, unless a
    // file names two alike).
    std::array<std::size_t, kFieldCount> firstOfName_{};
    // The values of the row being read, by column.
    mutable std::array<std::string_view, kFieldCount> values_{};
};

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

PacketRowWriter::PacketRowWriter(ByteSink& sink, std::size_t rows, bool utf8Texts)
    : sink_(sink), buffer_(std::make_unique_for_overwrite<char[]>(kChunk + kRowRoom)),
      capacity_(kChunk + kRowRoom), utf8_(utf8Texts) {
    std::string head;
    head.reserve(kChunk + 512);
    head += kPacketStart;
    AppendFields(head);
    AppendChangeLog(head, rows, sink_);
    head += "<ROWDATA>";
    sink_.Write(head);
}

void PacketRowWriter::Take(const TableRowView& view) {
    // Each column's ' name="', spelt out once: "DC/AC" needs no change.
    static constexpr std::array<std::string_view, kFieldCount> kOpeners{
        " No=\"", " Time=\"", " DC/AC=\"", " Value=\"", " Unit=\"", " Auto=\""};
    static constexpr std::string_view kRowStart = "<ROW RowState=\"4\"";
    const TableRowView row = CutRowTexts(view, utf8_);
    // Every byte escaped takes at most six.
    std::size_t room = kRowStart.size() + 32 + 2;
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
    put(kRowStart);
    if (row.HasNo) {
        put(kOpeners[0]);
        at = std::to_chars(at, at + 16, row.No).ptr;
        *at++ = '"';
    }
    for (std::size_t i = 0; i < row.Texts.size(); ++i) {
        const std::string_view text = row.Texts[i];
        if (text.empty()) {
            continue;
        }
        put(kOpeners[i + 1]);
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
    sink_.Write(std::string_view(buffer_.get(), used_));
    used_ = 0;
}

void PacketRowWriter::Finish() {
    Flush();
    sink_.Write("</ROWDATA></DATAPACKET>\r\n");
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

LoadOutcome ReadDataPacket(std::string_view bytes, MeasurementTable& table,
                           const WalkProgress& progress) {
    TableReceiver rows(table);
    return ReadDataPacket(bytes, rows, progress);
}

LoadOutcome ReadDataPacket(std::string_view bytes, RowReceiver& rows,
                           const WalkProgress& progress) {
    WholeBytes whole(bytes);
    LoadOutcome outcome;
    outcome.ok = PacketWalk(whole, progress).Load(rows, outcome);
    return outcome;
}

LoadOutcome ReadDataPacket(InputFile& file, RowReceiver& rows, const WalkProgress& progress) {
    FileBytes windows(file);
    LoadOutcome outcome;
    outcome.ok = PacketWalk(windows, progress).Load(rows, outcome);
    return outcome;
}

} // namespace meterdesk::record
