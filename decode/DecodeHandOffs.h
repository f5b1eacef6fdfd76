#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace meterdesk::decode {

// Where each decoded frame's results go, in the order decoding makes them.
// The consumers fill the slots when they are built; an empty slot does
// nothing. Every slot runs synchronously on the main thread.
struct DecodeHandOffs {
    std::function<void()> FrameSeen;                               // link indicator
    std::function<void(const std::string& frameText)> TraceFrame;  // diagnostic trace
    std::function<void(double minimum, double maximum)> AxisRange; // chart value axis
    std::function<void(const std::string& maxText, const std::string& minText,
                       const std::string& unit)>
        PeaksShown;                                        // min/max display
    std::function<void()> PanelChanged;                    // LCD replica
    std::function<void(std::int32_t position)> NeedleAt;   // bar-scale needle
    std::function<void()> ReadingReady;                    // log step
    std::function<void(std::int32_t position)> BarGraphAt; // LCD bar graph
};

// Calls a slot if something filled it.
template <typename Slot, typename... Args> void Fire(const Slot& slot, Args&&... args) {
    if (slot) {
        slot(std::forward<Args>(args)...);
    }
}

} // namespace meterdesk::decode
