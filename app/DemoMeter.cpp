#include "app/DemoMeter.h"

namespace meterdesk::app {

DemoMeter::DemoMeter() {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { SendDueFrames(); });
    timer_.start(20);
}

void DemoMeter::SendDueFrames() {
    // Frames go out at the meter's pace whatever the timer's jitter.
    const auto due =
        static_cast<qint64>(static_cast<double>(clock_.elapsed()) / meter_.FramePeriodMs());
    for (; framesDue_ < due; ++framesDue_) {
        const std::vector<std::uint8_t> bytes = meter_.NextBytes();
        pty_.Write(bytes.data(), bytes.size());
    }
}

} // namespace meterdesk::app
