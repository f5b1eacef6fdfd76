#include "base/Clock.h"

namespace meterdesk::base {

namespace {

class SystemSteadyClock final : public SteadyClock {
public:
    time_point Now() const override { return std::chrono::steady_clock::now(); }
};

} // namespace

std::unique_ptr<SteadyClock> MakeSteadyClock() {
    return std::make_unique<SystemSteadyClock>();
}

} // namespace meterdesk::base
