#include "record/PipelinedSink.h"

#include "base/QuietThread.h"

namespace meterdesk::record {

PipelinedSink::PipelinedSink(WritableFile& file) : file_(file) {
    filling_.reserve(kBuffer);
    writing_.reserve(kBuffer);
    writer_ = base::StartQuietThread([this] { Run(); });
}

PipelinedSink::~PipelinedSink() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

void PipelinedSink::Write(std::string_view bytes) {
    if (bytes.size() >= kBuffer) {
        // A large block is written from where it lies, once the buffer
        // before it is: copying it would cost more than the wait.
        HandOver();
        std::unique_lock lock(mutex_);
        WaitIdle(lock);
        lock.unlock();
        if (std::optional<std::string> error = file_.Write(bytes)) {
            lock.lock();
            failure_ = std::move(error);
            throw Failed{*failure_};
        }
        return;
    }
    while (!bytes.empty()) {
        const std::size_t room = kBuffer - filling_.size();
        const std::size_t take = std::min(room, bytes.size());
        filling_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (filling_.size() == kBuffer) {
            HandOver();
        }
    }
}

void PipelinedSink::Finish() {
    HandOver();
    std::unique_lock lock(mutex_);
    WaitIdle(lock);
}

void PipelinedSink::WaitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !pending_; });
    if (failure_) {
        throw Failed{*failure_};
    }
}

void PipelinedSink::HandOver() {
    {
        std::unique_lock lock(mutex_);
        WaitIdle(lock);
        if (filling_.empty()) {
            return;
        }
        filling_.swap(writing_);
        pending_ = true;
    }
    changed_.notify_all();
    filling_.clear();
}

void PipelinedSink::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stop_; });
        if (stop_) {
            return;
        }
        lock.unlock();
        std::optional<std::string> error = file_.Write(writing_);
        lock.lock();
        failure_ = std::move(error);
        pending_ = false;
        changed_.notify_all();
    }
}

} // namespace meterdesk::record
