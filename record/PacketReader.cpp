#include "record/DataPacket.h"
#include "record/InputFile.h"
#include "record/PacketColumns.h"
#include "record/RowTemplate.h"
#include "record/SegmentedRead.h"
#include "record/XmlScanner.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::record {

namespace {

constexpr std::size_t kProgressRows = 8192;
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
        const std::optional<std::size_t> got =
            file_.ReadAt(position_, buffer_.get() + filled_, capacity_ - filled_, error);
        if (!got) {
            return std::nullopt;
        }
        position_ += *got;
        more = filled_ + *got == capacity_;
        filled_ += *got;
        return std::string_view(buffer_.get(), filled_);
    }
    // The windows begin again at `offset`, in a window of the first size.
    void Restart(std::uint64_t offset) {
        position_ = offset;
        filled_ = 0;
        if (capacity_ > kWindow) {
            buffer_ = std::make_unique_for_overwrite<char[]>(kWindow);
            capacity_ = kWindow;
        }
    }
    std::size_t Size() const override { return static_cast<std::size_t>(file_.Size()); }
    InputFile& File() const { return file_; }

private:
    static constexpr std::size_t kWindow = std::size_t{256} << 10;

    InputFile& file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t filled_ = 0;
    std::uint64_t position_ = 0; // of the file, after the window's bytes
};

// Only fields and rows are read for their attributes: the others (the
// change log above all) are checked but not kept, so no window has to
// hold them whole.
void KeepOnlyWhatIsRead(XmlScanner& scanner) {
    scanner.KeepAttributesOnlyOf({"FIELD", "ROW"});
}

// Where the rows of a data packet are read in segments: inside ROWDATA,
// each segment starting at a ROW tag.
const std::vector<std::string>& RowDataPath() {
    static const std::vector<std::string> path{"DATAPACKET", "ROWDATA"};
    return path;
}

class PacketSegments final : public SegmentFormat {
public:
    explicit PacketSegments(const PacketColumns& columns) : columns_(columns) {}

    std::optional<std::size_t> FindRowStart(std::string_view bytes,
                                            std::size_t from) const override {
        for (std::size_t at = bytes.find("<ROW", from); at != std::string_view::npos;
             at = bytes.find("<ROW", at + 1)) {
            if (at + 4 < bytes.size() &&
                std::string_view(" \t\r\n/>").find(bytes[at + 4]) != std::string_view::npos) {
                return at;
            }
        }
        return std::nullopt;
    }

    bool ReadSegment(std::string_view bytes, std::uint64_t offset, bool last,
                     RowReceiver& rows) const override {
        XmlScanner scanner(bytes, !last);
        scanner.ResumeInside(RowDataPath(), static_cast<std::size_t>(offset));
        PacketColumns::Values values;
        TableRowView row;
        // Rows of the form of the last one are read from their bytes.
        RowTemplate form;
        std::array<std::int8_t, RowTemplate::kMaxAttributes> layout{};
        std::array<std::string_view, RowTemplate::kMaxAttributes> read;
        unsigned formFound = 0;
        for (;;) {
            if (form.Count() != 0 && scanner.Depth() == 2) {
                if (const std::optional<std::size_t> end =
                        form.Read(bytes, scanner.Position(), read)) {
                    for (std::size_t a = 0; a < form.Count(); ++a) {
                        if (layout[a] != PacketColumns::kNone) {
                            values[static_cast<std::size_t>(layout[a])] = read[a];
                        }
                    }
                    if (!columns_.Fill(values, formFound, row)) {
                        return false;
                    }
                    rows.Take(row);
                    scanner.SkipTo(*end);
                    continue;
                }
            }
            switch (scanner.Next()) {
            case XmlScanner::Event::More:
                // Clean only when the segment ends between two elements.
                return scanner.Pending() == bytes.size();
            case XmlScanner::Event::EmptyTag:
                if (scanner.Depth() != 2 || scanner.Name() != "ROW" ||
                    !columns_.ReadRow(scanner, row, values)) {
                    return false;
                }
                rows.Take(row);
                formFound = Learn(scanner, form, layout);
                break;
            case XmlScanner::Event::EndTag:
                // Only ROWDATA and DATAPACKET can close here (the scanner
                // checks the nesting): the packet's end, in the last segment.
                if (!last) {
                    return false;
                }
                break;
            case XmlScanner::Event::Done:
                return true;
            default:
                return false;
            }
        }
    }

private:
    // The form of the row the scanner just read, when all its values are
    // its own bytes; the columns the form's values fill.
    unsigned Learn(const XmlScanner& scanner, RowTemplate& form,
                   std::array<std::int8_t, RowTemplate::kMaxAttributes>& layout) const {
        std::array<std::string_view, RowTemplate::kMaxAttributes> names;
        const std::size_t count = scanner.AttributeCount();
        if (count > names.size()) {
            form.Forget();
            return 0;
        }
        for (std::size_t a = 0; a < count; ++a) {
            if (scanner.Attributes()[a].owned) {
                form.Forget();
                return 0;
            }
            names[a] = scanner.Attributes()[a].name;
        }
        if (!form.Learn(names.data(), count)) {
            return 0;
        }
        PacketColumns::Values values;
        return columns_.Match(scanner, values, layout.data());
    }

    const PacketColumns& columns_;
};

// Reads the document once, adding each row as it comes. A structural fault
// found later takes the rows back out, so a document that is not a data
// packet adds nothing; after a row whose No is no whole number the walk adds
// no more but still checks the rest. From a file big enough, the rows are
// read in segments on several threads, and in order again from wherever a
// segment held anything else.
class PacketWalk {
public:
    PacketWalk(PacketBytes& bytes, const WalkProgress& progress, const SegmentPlan& plan = {})
        : bytes_(bytes), progress_(progress), plan_(plan) {}

    // `segmentsOf`: the file the bytes come from, when its rows may be read
    // in segments.
    bool Load(RowReceiver& rows, LoadOutcome& outcome, FileBytes* segmentsOf = nullptr) {
        if (!Start(rows, outcome, segmentsOf)) {
            rows.TakeBack(outcome.rows);
            outcome.rows = 0;
            return false;
        }
        return outcome.error.empty();
    }

private:
    enum class Reached { Fault, End, Rows };

    bool At(std::initializer_list<std::string_view> path) const {
        return path_.size() == path.size() && std::equal(path.begin(), path.end(), path_.begin());
    }

    // false: not a data packet, or not read whole.
    bool Start(RowReceiver& receiver, LoadOutcome& outcome, FileBytes* segmentsOf) {
        const bool segmented = segmentsOf != nullptr && WorthSegmenting(segmentsOf->Size(), plan_);
        bool more = false;
        const std::optional<std::string_view> first = bytes_.Next(0, more, outcome.error);
        if (!first) {
            return false;
        }
        XmlScanner scanner(*first, more);
        KeepOnlyWhatIsRead(scanner);
        const Reached reached = Walk(scanner, receiver, outcome, segmented);
        if (reached == Reached::Rows && segmentsOf != nullptr) {
            return ReadRows(*segmentsOf, scanner.Offset(), receiver, outcome);
        }
        return reached == Reached::End;
    }

    // The rows from `begin` on, in segments, then in order from wherever a
    // segment held anything but plain rows.
    bool ReadRows(FileBytes& file, std::uint64_t begin, RowReceiver& receiver,
                  LoadOutcome& outcome) {
        // The window read so far goes: the segments read their own bytes.
        file.Restart(begin);
        const SegmentedOutcome segments =
            ReadSegments(file.File(), begin, PacketSegments(columns_), receiver, plan_, progress_);
        outcome.rows += segments.rows;
        if (!segments.resumeAt) {
            return true;
        }
        file.Restart(*segments.resumeAt);
        bool more = false;
        const std::optional<std::string_view> window = file.Next(0, more, outcome.error);
        if (!window) {
            return false;
        }
        XmlScanner rest(*window, more);
        KeepOnlyWhatIsRead(rest);
        rest.ResumeInside(RowDataPath(), static_cast<std::size_t>(*segments.resumeAt));
        return Walk(rest, receiver, outcome, false) == Reached::End;
    }

    // Walks on from where the scanner stands; with `pauseAtRows`, stops
    // once the rows begin.
    Reached Walk(XmlScanner& scanner, RowReceiver& receiver, LoadOutcome& outcome,
                 bool pauseAtRows) {
        TableRowView row;
        const auto notPacket = [&] {
            outcome.error = "it is not a data packet (fault near byte " +
                            std::to_string(scanner.Offset()) + ")";
            return Reached::Fault;
        };
        for (;;) {
            const XmlScanner::Event event = scanner.Next();
            if (event == XmlScanner::Event::More) {
                bool more = false;
                const std::optional<std::string_view> window =
                    bytes_.Next(scanner.Pending(), more, outcome.error);
                if (!window) {
                    return Reached::Fault;
                }
                scanner.Continue(*window, more);
                continue;
            }
            if (event == XmlScanner::Event::Error) {
                return notPacket();
            }
            if (event == XmlScanner::Event::Done) {
                return (fields_ && rowData_) ? Reached::End : notPacket();
            }
            if (event == XmlScanner::Event::EndTag) {
                path_.pop_back();
                inRowData_ = false;
                continue;
            }
            const std::string_view name = scanner.Name();
            if (path_.empty() && name != "DATAPACKET") {
                return notPacket();
            }
            if (inRowData_ && name == "ROW") {
                if (adding_ && !columns_.ReadRow(scanner, row, values_)) {
                    outcome.error = "ROW " + std::to_string(outcome.rows + 1) +
                                    " is not a row: its first column is no whole number";
                    adding_ = false;
                } else if (adding_) {
                    receiver.Take(row);
                    ++outcome.rows;
                }
            } else if (name == "FIELDS" && At({"DATAPACKET", "METADATA"})) {
                fields_ = true;
            } else if (name == "FIELD" && At({"DATAPACKET", "METADATA", "FIELDS"})) {
                const std::optional<std::string_view> attrName = scanner.Find("attrname");
                if (!attrName || columns_.Count() == kFieldCount) {
                    return notPacket();
                }
                columns_.Add(*attrName);
            } else if (name == "ROWDATA" && At({"DATAPACKET"})) {
                if (!fields_) {
                    return notPacket();
                }
                rowData_ = true;
            }
            if (progress_ && name == "ROW" && ++progressRows_ % kProgressRows == 0) {
                progress_(scanner.Offset(), std::max(bytes_.Size(), scanner.Offset()));
            }
            if (event == XmlScanner::Event::StartTag) {
                path_.emplace_back(name);
                inRowData_ = At({"DATAPACKET", "ROWDATA"});
                if (pauseAtRows && inRowData_) {
                    return Reached::Rows;
                }
            }
        }
    }

    PacketBytes& bytes_;
    const WalkProgress& progress_;
    const SegmentPlan plan_;
    // Owned: the window the names were read from moves on.
    std::vector<std::string> path_;
    PacketColumns columns_;
    PacketColumns::Values values_{};
    bool fields_ = false;
    bool rowData_ = false;
    bool inRowData_ = false;
    bool adding_ = true;
    std::size_t progressRows_ = 0;
};

} // namespace

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

LoadOutcome ReadDataPacket(InputFile& file, RowReceiver& rows, const WalkProgress& progress,
                           const SegmentPlan& plan) {
    FileBytes windows(file);
    LoadOutcome outcome;
    outcome.ok = PacketWalk(windows, progress, plan).Load(rows, outcome, &windows);
    return outcome;
}

} // namespace meterdesk::record
