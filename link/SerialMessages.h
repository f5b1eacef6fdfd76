#pragma once

#include "link/PortDoctor.h"
#include "link/SerialPort.h"

#include <string>

namespace meterdesk::link {

// What the user is told when a port does not open: the port, its device,
// the system's reason and, where there is one, what to do about it; then
// what the doctor finds in the way.
std::string DescribeOpenFailure(const std::string& portName, const std::string& devicePath,
                                const OpenResult& result, const PortDoctor& doctor);

// What the trace (and the logger's standard error) say when a connected
// port's device disappears, and when it is back.
std::string DescribeLinkLost(const std::string& portName, const std::string& devicePath);
std::string DescribeLinkBack(const std::string& portName, const std::string& devicePath);

} // namespace meterdesk::link
