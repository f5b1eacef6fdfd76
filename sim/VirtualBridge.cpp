#include "sim/VirtualBridge.h"

#include <algorithm>
#include <cerrno>

namespace meterdesk::sim {

namespace {

// Reports of one frame follow each other at the bus's polling pace; a quiet
// line gives a report without data every 10 ms.
constexpr double kDataGapMs = 1.0;
constexpr double kIdleGapMs = 10.0;
// A reader that fell this far behind loses the backlog, as a full queue of
// the system would.
constexpr double kMostLagMs = 1000.0;

std::chrono::steady_clock::duration Milliseconds(double ms) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(ms));
}

} // namespace

VirtualBridge::VirtualBridge(Scenario scenario)
    : SimulatedHidDevice(BridgeIdentity()), meter_(scenario) {}

SimulatedHidIdentity VirtualBridge::BridgeIdentity() {
    SimulatedHidIdentity identity;
    // The pid.codes test numbers: a simulated device has no vendor.
    identity.attributes = {0x1209, 0x0001, 0x0100};
    identity.product = u"USB to Serial";
    identity.caps.UsagePage = 0xFF00;
    identity.caps.Usage = 0x01;
    identity.caps.InputReportByteLength = 1 + kBridgeReportBytes;
    identity.caps.FeatureReportByteLength = 1 + 5;
    return identity;
}

std::int32_t VirtualBridge::BitRate() const {
    std::lock_guard lock(mutex_);
    return bitRate_;
}

bool VirtualBridge::SetFeature(const std::uint8_t* report, std::size_t length) {
    if (!SimulatedHidDevice::SetFeature(report, length)) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        // Report number, then the bit rate low byte first.
        bitRate_ = length >= 3 ? report[1] | (report[2] << 8) : 0;
        started_ = true;
        startedAt_ = std::chrono::steady_clock::now();
        positionMs_ = 0;
        nextFrameMs_ = 0;
        queued_.clear();
    }
    changed_.notify_all();
    return true;
}

VirtualBridge::TimedReport VirtualBridge::NextReport() {
    std::lock_guard lock(mutex_);
    return NextReportLocked();
}

VirtualBridge::TimedReport VirtualBridge::NextReportLocked() {
    if (queued_.empty() && positionMs_ >= nextFrameMs_) {
        const std::vector<std::uint8_t> bytes = meter_.NextBytes();
        nextFrameMs_ += meter_.FramePeriodMs();
        for (const BridgeReport& report : EncodeBridgeReports(bytes)) {
            queued_.push_back(report);
        }
    }
    TimedReport next{IdleBridgeReport(), positionMs_};
    if (!queued_.empty()) {
        next.report = queued_.front();
        queued_.pop_front();
        positionMs_ += kDataGapMs;
    } else {
        positionMs_ += kIdleGapMs;
    }
    return next;
}

link::HidReadResult VirtualBridge::Read(std::uint8_t* buffer, std::size_t length,
                                        std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!connected_) {
            return {link::HidReadStatus::Failed, 0, ENODEV};
        }
        const Clock::time_point now = Clock::now();
        Clock::time_point wake = deadline;
        if (started_) {
            if (now - (startedAt_ + Milliseconds(positionMs_)) > Milliseconds(kMostLagMs)) {
                startedAt_ = now - Milliseconds(positionMs_);
            }
            const Clock::time_point due = startedAt_ + Milliseconds(positionMs_);
            if (due <= now) {
                const BridgeReport report = NextReportLocked().report;
                if (length == 0) {
                    return {link::HidReadStatus::Report, 0, 0};
                }
                buffer[0] = 0; // the bridge numbers no reports
                const std::size_t n = std::min(length - 1, report.size());
                std::copy_n(report.begin(), n, buffer + 1);
                return {link::HidReadStatus::Report, n + 1, 0};
            }
            wake = std::min(due, deadline);
        }
        if (now >= deadline) {
            return {link::HidReadStatus::TimedOut, 0, 0};
        }
        changed_.wait_until(lock, wake);
    }
}

} // namespace meterdesk::sim
