#include "decode/DisplayRefresh.h"

namespace meterdesk::decode {

void DisplayRefresh::TraceFrame(const std::string& frameText) {
    if (trace_.size() >= kTraceLines) {
        trace_.pop_front(); // the trace would push it out at once
    }
    trace_.push_back(frameText);
}

DisplayUpdate DisplayRefresh::Take() {
    DisplayUpdate update{panel_, bar_, {trace_.begin(), trace_.end()}};
    panel_ = false;
    bar_.reset();
    trace_.clear();
    return update;
}

} // namespace meterdesk::decode
