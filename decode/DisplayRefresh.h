#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::decode {

// The trace keeps this many lines; older ones are not worth drawing.
inline constexpr std::size_t kTraceLines = 1000;

// What a view refresh brings to the replica, the bar and the trace.
struct DisplayUpdate {
    bool panel = false; // draw the replica from the panel state
    std::optional<std::int32_t> bar;
    std::vector<std::string> trace; // new lines, oldest first
};

// What the decoded frames changed since the last view refresh. One poll can
// carry a dozen frames: each view takes only the latest at the refresh.
class DisplayRefresh {
public:
    void PanelChanged() { panel_ = true; }
    void BarAt(std::int32_t position) { bar_ = position; }
    void TraceFrame(const std::string& frameText);

    bool Pending() const { return panel_ || bar_ || !trace_.empty(); }
    // Everything gathered, for the refresh to apply; nothing stays pending.
    DisplayUpdate Take();

private:
    bool panel_ = false;
    std::optional<std::int32_t> bar_;
    std::deque<std::string> trace_;
};

} // namespace meterdesk::decode
