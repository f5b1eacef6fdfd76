#pragma once

#include "sim/PtyEndpoint.h"
#include "sim/VirtualMeter.h"

#include <QElapsedTimer>
#include <QTimer>

#include <string>

namespace meterdesk::app {

// A virtual meter inside the program, talking on a pseudo-terminal that the
// program then opens as its serial port.
class DemoMeter {
public:
    DemoMeter();
    const std::string& DevicePath() const { return pty_.DevicePath(); }

private:
    void SendDueFrames();

    sim::PtyEndpoint pty_;
    sim::VirtualMeter meter_{sim::Scenario::Wander};
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 framesDue_ = 0;
};

} // namespace meterdesk::app
