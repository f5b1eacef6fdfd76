#include "link/PortNames.h"

#include <algorithm>
#include <charconv>
#include <tuple>

namespace meterdesk::link {

namespace {

// Sort key: family rank, the name without its number, then the number.
std::tuple<int, std::string, long> PortKey(const std::string& path) {
    std::size_t digits = path.size();
    while (digits > 0 && path[digits - 1] >= '0' && path[digits - 1] <= '9') {
        --digits;
    }
    const std::string stem = path.substr(0, digits);
    long number = -1;
    std::from_chars(path.data() + digits, path.data() + path.size(), number);
    const int rank = stem == "/dev/ttyUSB" ? 0 : stem == "/dev/ttyACM" ? 1 : 2;
    return {rank, stem, number};
}

} // namespace

std::vector<std::string> OrderSerialPorts(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return PortKey(a) < PortKey(b); });
    return paths;
}

std::optional<std::pair<std::string, std::string>> ParsePortOverride(std::string_view argument) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos || equals + 1 >= argument.size()) {
        return std::nullopt;
    }
    const std::string_view name = argument.substr(0, equals);
    if (name.size() != 4 || name.substr(0, 3) != "COM" || name[3] < '1' || name[3] > '4') {
        return std::nullopt;
    }
    return std::make_pair(std::string(name), std::string(argument.substr(equals + 1)));
}

std::string ListedPortDirectory::DevicePath(const std::string& portName) {
    if (const auto found = overrides_.find(portName); found != overrides_.end()) {
        return found->second;
    }
    if (portName.size() != 4 || portName.compare(0, 3, "COM") != 0) {
        return {};
    }
    const auto index = static_cast<std::size_t>(portName[3] - '1');
    const std::vector<std::string> ports = OrderSerialPorts(listPorts_());
    return index < ports.size() ? ports[index] : std::string();
}

} // namespace meterdesk::link
