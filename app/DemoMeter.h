#pragma once

#include "base/Clock.h"
#include "link/HidPlatform.h"
#include "sim/FramePace.h"
#include "sim/PtyEndpoint.h"
#include "sim/SimulatedHid.h"
#include "sim/VirtualBridge.h"
#include "sim/VirtualMeter.h"

#include <QTimer>

#include <memory>
#include <string>

namespace meterdesk::app {

// A virtual meter inside the program, talking on a pseudo-terminal that the
// program then opens as its serial port, and a second one behind a virtual
// "USB to Serial" cable.
class DemoMeter {
public:
    DemoMeter();
    const std::string& DevicePath() const { return pty_.DevicePath(); }
    // `system`'s HID devices with the virtual cable plugged in after them,
    // so that it is the bridge the window picks.
    std::shared_ptr<link::HidPlatform> HidPlatform(std::shared_ptr<link::HidPlatform> system);

private:
    void SendDueFrames();

    sim::PtyEndpoint pty_;
    sim::VirtualMeter meter_{sim::Scenario::Wander};
    std::unique_ptr<base::SteadyClock> clock_ = base::MakeSteadyClock();
    sim::FramePace pace_{*clock_, meter_.FramePeriodMs()};
    QTimer timer_;
    std::int64_t framesSent_ = 0;
    std::shared_ptr<sim::SimulatedHidBus> bus_;
    std::shared_ptr<sim::VirtualBridge> bridge_ = std::make_shared<sim::VirtualBridge>();
};

} // namespace meterdesk::app
