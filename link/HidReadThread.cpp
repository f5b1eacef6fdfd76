#include "link/HidController.h"

#include <algorithm>
#include <chrono>

namespace meterdesk::link {

TJvHidDeviceReadThread::TJvHidDeviceReadThread(TJvHidDevice& device, std::size_t reportLength)
    : device_(device), handOver_(device.handOver_), ReportBuffer(reportLength) {}

TJvHidDeviceReadThread::~TJvHidDeviceReadThread() {
    if (thread_.joinable()) {
        Terminate();
        WaitFor();
    }
}

void TJvHidDeviceReadThread::Start() {
    thread_ = std::thread([this] { Execute(); });
}

void TJvHidDeviceReadThread::Terminate() {
    {
        std::lock_guard lock(pauseMutex_);
        terminated_ = true;
    }
    pauseWake_.notify_all();
}

void TJvHidDeviceReadThread::WaitFor() {
    handOver_->RunUntil([this] { return finished_.load(); });
    Join();
}

void TJvHidDeviceReadThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

// The device is touched only while the reader has not been asked to end: a
// reader asked to end from inside its own hand-over may outlive its device,
// and leaves as soon as that hand-over returns.
void TJvHidDeviceReadThread::Execute() {
    const auto deliverReport = std::function<void()>([this] { DeliverReport(); });
    const auto deliverError = std::function<void()>([this] { DeliverError(); });
    while (!terminated_) {
        std::fill(ReportBuffer.begin(), ReportBuffer.end(), std::uint8_t{0});
        const auto slice = static_cast<std::uint32_t>(device_.ReaderSleep_.load());
        const std::shared_ptr<HidHandle> handle = device_.OpenReading(LastError);
        if (!handle) {
            handOver_->Call(this, deliverError);
            if (!Pause(slice)) {
                break;
            }
            continue;
        }
        // The timed read stands for the pending read; a stop request is seen
        // between slices.
        HidReadResult result;
        do {
            result = ReadPaced(*handle, slice);
        } while (result.status == HidReadStatus::TimedOut && !terminated_);
        if (terminated_) {
            break;
        }
        if (result.status == HidReadStatus::Failed) {
            BytesRead = 0;
            LastError = result.error;
            handOver_->Call(this, deliverError);
            // A device that went away fails at once; do not spin on it.
            if (!Pause(slice)) {
                break;
            }
            continue;
        }
        BytesRead = static_cast<std::uint32_t>(std::min(result.bytes, ReportBuffer.size()));
        if (BytesRead > 0) {
            handOver_->Call(this, deliverReport);
        }
    }
    finished_ = true;
    handOver_->Notify();
}

// A read that came back early with nothing (a zero-byte input report, a
// backend that does not wait) is followed by the rest of its slice, so that
// such a device costs one read a slice instead of a core.
HidReadResult TJvHidDeviceReadThread::ReadPaced(HidHandle& handle, std::uint32_t sliceMs) {
    const auto started = std::chrono::steady_clock::now();
    HidReadResult result = handle.Read(ReportBuffer.data(), ReportBuffer.size(), sliceMs);
    const bool empty = result.status == HidReadStatus::TimedOut ||
                       (result.status == HidReadStatus::Report && result.bytes == 0);
    if (!empty) {
        return result;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    if (waited.count() < sliceMs / 2) {
        Pause(sliceMs - static_cast<std::uint32_t>(waited.count()));
    }
    return {HidReadStatus::TimedOut, 0, 0};
}

bool TJvHidDeviceReadThread::Pause(std::uint32_t sliceMs) {
    std::unique_lock lock(pauseMutex_);
    pauseWake_.wait_for(lock, std::chrono::milliseconds(sliceMs),
                        [this] { return terminated_.load(); });
    return !terminated_;
}

void TJvHidDeviceReadThread::DeliverReport() {
    const TJvHidDataEvent handler = device_.DataHandler_;
    if (handler) {
        handler(device_, ReportBuffer[0], ReportBuffer.data() + 1,
                static_cast<std::uint16_t>(BytesRead - 1));
    }
}

void TJvHidDeviceReadThread::DeliverError() {
    const TJvHidDataErrorEvent handler = device_.DataErrorHandler_;
    if (handler) {
        handler(device_, LastError);
    }
}

} // namespace meterdesk::link
