#pragma once

#include "link/HidPlatform.h"

#include <cstdint>
#include <span>

namespace meterdesk::link {

// What a report descriptor says about the reports of its device.
struct HidReportLayout {
    bool numbered = false; // reports carry a report ID (the descriptor declares one)
    HidCaps caps;          // lengths of the longest report of each kind, ID byte counted
};

// Reads a HID report descriptor (the bytes the device gives the system).
// Report lengths count the report-ID byte whether the device numbers its
// reports or not, so a report handed on always has its ID first. Items cut
// short at the end are ignored.
HidReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

} // namespace meterdesk::link
