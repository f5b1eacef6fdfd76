#include "chart/JudgeDisplay.h"

namespace meterdesk::chart {

std::optional<JudgeLook> JudgeDisplay::Take() {
    if (!pending_) {
        return std::nullopt;
    }
    JudgeLook look{std::move(pending_->first), std::nullopt};
    // Restyling the panel is costly; a verdict it already wears needs none.
    if (shown_ != pending_->second) {
        shown_ = pending_->second;
        look.restyle = shown_;
    }
    pending_.reset();
    return look;
}

} // namespace meterdesk::chart
