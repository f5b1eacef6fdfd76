#include "app/DemoMeter.h"

#include "link/platform/LinuxHid.h"

namespace meterdesk::app {

DemoMeter::DemoMeter() : bus_(std::make_shared<sim::SimulatedHidBus>(link::QtMainThreadPoster())) {
    bus_->Plug(bridge_);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { SendDueFrames(); });
    timer_.start(20);
}

void DemoMeter::SendDueFrames() {
    // Frames go out at the meter's pace whatever the timer's jitter.
    for (const std::int64_t due = pace_.FramesDue(); framesSent_ < due; ++framesSent_) {
        const std::vector<std::uint8_t> bytes = meter_.NextBytes();
        pty_.Write(bytes.data(), bytes.size());
    }
}

std::shared_ptr<link::HidPlatform>
DemoMeter::HidPlatform(std::shared_ptr<link::HidPlatform> system) {
    return sim::JoinHidPlatforms(std::move(system), bus_);
}

} // namespace meterdesk::app
