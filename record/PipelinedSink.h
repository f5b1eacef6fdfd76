#pragma once

#include "record/SafeFile.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace meterdesk::record {

// Writes a file from a thread of its own: the caller fills one 256 KB buffer
// while the thread writes the one before, so that the file system's copy
// runs beside the work that makes the bytes. A block of a buffer's size or
// more is written by the caller itself, once the bytes before it are in.
// A failed write is thrown as Failed from that Write, a later one or
// Finish; after it nothing more is written.
class PipelinedSink final : public ByteSink {
public:
    struct Failed {
        std::string reason;
    };

    explicit PipelinedSink(WritableFile& file);
    // Waits for the write in progress; what was not handed over is dropped.
    ~PipelinedSink() override;
    PipelinedSink(const PipelinedSink&) = delete;
    PipelinedSink& operator=(const PipelinedSink&) = delete;

    void Write(std::string_view bytes) override;
    // Writes what is left and waits until every byte is in the file.
    void Finish();

private:
    static constexpr std::size_t kBuffer = std::size_t{256} << 10;

    void HandOver();
    void WaitIdle(std::unique_lock<std::mutex>& lock);
    void Run();

    WritableFile& file_;
    std::string filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string writing_;                // guarded by mutex_
    bool pending_ = false;               // guarded: writing_ waits for the thread
    bool stop_ = false;                  // guarded
    std::optional<std::string> failure_; // guarded
    std::thread writer_;
};

} // namespace meterdesk::record
