#include "record/SegmentedRead.h"

#include "base/QuietThread.h"
#include "record/InputFile.h"
#include "record/SafeFile.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace meterdesk::record {

namespace {

unsigned ThreadsOf(const SegmentPlan& plan) {
    return plan.threads != 0 ? plan.threads : std::min(4U, std::thread::hardware_concurrency());
}

// The rows of one segment, kept until they are handed on. Texts that lie
// in the segment's bytes are kept as views; any other (a value with a
// reference resolved, a last line without a break) is copied.
class SegmentRows final : public RowReceiver {
public:
    void Reset(std::string_view bytes) {
        bytes_ = bytes;
        rows_.clear();
        copies_.clear();
    }
    void Take(const TableRowView& row) override {
        TableRowView& kept = rows_.emplace_back(row);
        for (std::string_view& text : kept.Texts) {
            const bool inside = text.data() >= bytes_.data() &&
                                text.data() + text.size() <= bytes_.data() + bytes_.size();
            if (!text.empty() && !inside) {
                text = copies_.emplace_back(text);
            }
        }
    }
    void TakeBack(std::size_t count) override {
        rows_.resize(rows_.size() - std::min(count, rows_.size()));
    }
    const std::vector<TableRowView>& Rows() const { return rows_; }

private:
    std::string_view bytes_;
    std::vector<TableRowView> rows_;
    std::deque<std::string> copies_; // a deque: the views must not move
};

// Counts the rows it passes on.
class CountedRows final : public RowReceiver {
public:
    explicit CountedRows(RowReceiver& rows) : rows_(rows) {}
    void Take(const TableRowView& row) override {
        rows_.Take(row);
        ++count;
    }
    void TakeBack(std::size_t taken) override {
        rows_.TakeBack(taken);
        count -= std::min(taken, count);
    }
    std::size_t count = 0;

private:
    RowReceiver& rows_;
};

struct Segment {
    bool ready = false; // guarded by the read's mutex
    bool plain = false;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    // The rows, kept, or written already when they go to a file.
    SegmentRows rows;
    bool writtenAlready = false;
    StringSink written;
    std::unique_ptr<RowWriter> writer; // into `written`, made once: its buffer stays warm
    std::size_t writtenRows = 0;
};

class SegmentedReader {
public:
    SegmentedReader(InputFile& file, std::uint64_t begin, const SegmentFormat& format,
                    const SegmentPlan& plan, RowReceiver& receiver)
        : file_(file), format_(format), plan_(plan), writer_(dynamic_cast<RowWriter*>(&receiver)),
          begin_(begin), count_(file.Size() > begin
                                    ? std::max<std::uint64_t>(1, (file.Size() - begin) / plan.bytes)
                                    : 1),
          slots_(std::max<std::size_t>(1, plan.ahead)) {}

    ~SegmentedReader() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers_) {
            worker.join();
        }
    }
    SegmentedReader(const SegmentedReader&) = delete;
    SegmentedReader& operator=(const SegmentedReader&) = delete;

    SegmentedOutcome Run(RowReceiver& receiver, const WalkProgress& progress) {
        const unsigned threads = std::max(1U, ThreadsOf(plan_));
        for (unsigned i = 0; i < threads; ++i) {
            workers_.push_back(base::StartQuietThread([this] { Work(); }));
        }
        SegmentedOutcome outcome;
        std::uint64_t next = begin_;
        for (std::uint64_t k = 0; k < count_; ++k) {
            Segment& segment = slots_[k % slots_.size()];
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return segment.ready; });
            }
            if (!segment.plain || segment.start != next) {
                outcome.resumeAt = next;
                return outcome;
            }
            if (segment.writtenAlready) {
                writer_->TakeWritten(segment.written.text);
                outcome.rows += segment.writtenRows;
            } else {
                for (const TableRowView& row : segment.rows.Rows()) {
                    receiver.Take(row);
                }
                outcome.rows += segment.rows.Rows().size();
            }
            next = segment.end;
            {
                const std::lock_guard lock(mutex_);
                segment.ready = false;
                ++handedOn_;
            }
            changed_.notify_all();
            if (progress) {
                progress(static_cast<std::size_t>(next), static_cast<std::size_t>(file_.Size()));
            }
        }
        return outcome;
    }

private:
    void Work() {
        for (;;) {
            std::uint64_t k = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return stop_ || claimed_ == count_ || claimed_ < handedOn_ + slots_.size();
                });
                if (stop_ || claimed_ == count_) {
                    return;
                }
                k = claimed_++;
            }
            Segment& segment = slots_[k % slots_.size()];
            try {
                Read(k, segment);
            } catch (...) {
                segment.plain = false;  // read again in order, which reports it
                segment.writer.reset(); // it may hold rows of the failed segment
            }
            {
                const std::lock_guard lock(mutex_);
                segment.ready = true;
            }
            changed_.notify_all();
        }
    }

    // Segment k runs from the first row start at or after its nominal
    // offset to the first one at or after the next segment's; the last
    // runs to the end of the file.
    void Read(std::uint64_t k, Segment& segment) {
        segment.plain = false;
        const std::uint64_t nominal = begin_ + k * plan_.bytes;
        const bool last = k + 1 == count_;
        const std::uint64_t size = file_.Size();
        if (nominal > size) {
            return;
        }
        const std::size_t want = static_cast<std::size_t>(
            last ? size - nominal
                 : std::min<std::uint64_t>(plan_.bytes + plan_.slack, size - nominal));
        // One byte more for the last, to see that the file ends there.
        const std::size_t room = want + (last ? 1 : 0);
        if (segment.capacity < room) {
            segment.bytes = std::make_unique_for_overwrite<char[]>(room);
            segment.capacity = room;
        }
        std::string error;
        const std::optional<std::size_t> got =
            file_.ReadAt(nominal, segment.bytes.get(), room, error);
        if (!got || *got != want) {
            return;
        }
        const std::string_view bytes(segment.bytes.get(), want);
        const std::optional<std::size_t> start =
            k == 0 ? std::optional<std::size_t>(0) : format_.FindRowStart(bytes, 0);
        const std::optional<std::size_t> end =
            last ? std::optional<std::size_t>(want) : format_.FindRowStart(bytes, plan_.bytes);
        if (!start || !end || *start > *end) {
            return;
        }
        const std::string_view rows = bytes.substr(*start, *end - *start);
        segment.start = nominal + *start;
        segment.end = nominal + *end;
        // A file's rows are written here, on the worker, as its writer would.
        segment.written.text.clear();
        if (writer_ != nullptr && segment.writer == nullptr) {
            segment.writer = writer_->RowsOnlyInto(segment.written);
        }
        RowWriter* const writer = segment.writer.get();
        if (writer != nullptr) {
            // Room for the rows' bytes at once (a text's rows written as a
            // packet take about three times their bytes): growing would copy
            // them into fresh pages each time, and a fresh page costs more
            // than its copy. Room never written costs nothing.
            segment.written.text.reserve(4 * want);
        }
        segment.writtenAlready = writer != nullptr;
        if (writer == nullptr) {
            segment.rows.Reset(rows);
            segment.plain = format_.ReadSegment(rows, segment.start, last, segment.rows);
            return;
        }
        CountedRows counted(*writer);
        segment.plain = format_.ReadSegment(rows, segment.start, last, counted);
        writer->Finish();
        segment.writtenRows = counted.count;
    }

    InputFile& file_;
    const SegmentFormat& format_;
    const SegmentPlan& plan_;
    RowWriter* const writer_; // rows that go to a file are written on the workers
    const std::uint64_t begin_;
    const std::uint64_t count_;
    std::vector<Segment> slots_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t claimed_ = 0;  // guarded: segments a worker took
    std::uint64_t handedOn_ = 0; // guarded
    bool stop_ = false;          // guarded
};

} // namespace

bool WorthSegmenting(std::uint64_t bytes, const SegmentPlan& plan) {
    return ThreadsOf(plan) >= 2 && bytes >= 2 * plan.bytes;
}

SegmentedOutcome ReadSegments(InputFile& file, std::uint64_t begin, const SegmentFormat& format,
                              RowReceiver& rows, const SegmentPlan& plan,
                              const WalkProgress& progress) {
    SegmentedReader reader(file, begin, format, plan, rows);
    return reader.Run(rows, progress);
}

} // namespace meterdesk::record
