#pragma once

#include "link/SerialPort.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace meterdesk::link {

// Serial device paths in the order COM1, COM2, ... take them: USB adapters
// first (/dev/ttyUSB*, then /dev/ttyACM*, each by number), then every other
// port by name and number.
std::vector<std::string> OrderSerialPorts(std::vector<std::string> paths);

// "COMn=PATH" as given on the command line; nullopt when it is not that.
std::optional<std::pair<std::string, std::string>> ParsePortOverride(std::string_view argument);

// COMn is the n-th serial port present, unless an override names its path.
// The ports are listed anew at every look-up, so an adapter plugged in after
// start is found.
class ListedPortDirectory final : public PortDirectory {
public:
    using Lister = std::function<std::vector<std::string>()>;

    explicit ListedPortDirectory(Lister listPorts) : listPorts_(std::move(listPorts)) {}

    void Override(const std::string& portName, const std::string& devicePath) {
        overrides_[portName] = devicePath;
    }
    // The device path, or empty when there is no such port.
    std::string DevicePath(const std::string& portName) override;

private:
    Lister listPorts_;
    std::map<std::string, std::string> overrides_;
};

} // namespace meterdesk::link
