#pragma once

#include "link/SerialPort.h"

#include <memory>
#include <string>
#include <vector>

namespace meterdesk::link {

// Qt Serial Port under the serial port interface: exclusive open (lock file
// and TIOCEXCL), any bit rate, and reads that take only what is queued.
std::unique_ptr<SerialPort> MakeQtSerialPort();

// A QTimer on the thread that creates it.
std::unique_ptr<PollTimer> MakeQtPollTimer();

// The device paths of the serial ports this computer has.
std::vector<std::string> ListSystemSerialPorts();

// The platform for the serial components, over the given port directory.
SerialPlatform MakeQtSerialPlatform(std::shared_ptr<PortDirectory> directory);

} // namespace meterdesk::link
