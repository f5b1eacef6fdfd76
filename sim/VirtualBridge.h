#pragma once

#include "sim/FrameEncoder.h"
#include "sim/SimulatedHid.h"
#include "sim/VirtualMeter.h"

#include <chrono>
#include <cstdint>
#include <deque>

namespace meterdesk::sim {

// The meter's "USB to Serial" cable in memory: a HID device that passes on
// what a virtual meter sends. It stays silent until it got its set-up
// feature report; from then on it wraps the meter's bytes into 8-byte input
// reports (0xF0 | n, then n <= 7 bytes) and sends a report without data
// about every 10 ms while the line is quiet.
class VirtualBridge final : public SimulatedHidDevice {
public:
    explicit VirtualBridge(Scenario scenario = Scenario::Wander);

    // What the bridge shows the system: "USB to Serial", no serial number,
    // 8-byte input reports and 5-byte feature reports without report IDs.
    static SimulatedHidIdentity BridgeIdentity();

    // The bit rate the last set-up report asked for; 0 before one came.
    std::int32_t BitRate() const;

    // Takes a set-up report: the stream starts (again) from its beginning.
    bool SetFeature(const std::uint8_t* report, std::size_t length) override;
    // The next report once it is due, report ID 0 first.
    link::HidReadResult Read(std::uint8_t* buffer, std::size_t length,
                             std::uint32_t timeoutMs) override;

    // The stream itself, without waiting: the next report and how long
    // after the set-up it is due. For tests.
    struct TimedReport {
        BridgeReport report;
        double dueMs;
    };
    TimedReport NextReport();

private:
    TimedReport NextReportLocked();

    VirtualMeter meter_;
    std::deque<BridgeReport> queued_;
    bool started_ = false;
    std::int32_t bitRate_ = 0;
    std::chrono::steady_clock::time_point startedAt_;
    double positionMs_ = 0; // when the next report is due, after the set-up
    double nextFrameMs_ = 0;
};

} // namespace meterdesk::sim
