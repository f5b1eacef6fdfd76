#pragma once

#include <string>
#include <utility>
#include <vector>

namespace meterdesk::app {

// What the desktop program was asked to do at start.
struct CommandLine {
    bool demo = false; // attach a virtual meter as COM1
    bool help = false;
    bool version = false;
    std::vector<std::pair<std::string, std::string>> portPaths; // COMn -> device path
    std::string error; // empty when the arguments made sense
};

// Reads the program's own arguments; arguments Qt takes (-platform, ...) are
// removed before this sees them.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text of the program.
std::string Usage();

} // namespace meterdesk::app
