#include "app/CommandLine.h"

#include "link/PortNames.h"

namespace meterdesk::app {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--demo") {
            line.demo = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--port" || arg.starts_with("--port=")) {
            std::string value;
            if (arg == "--port") {
                if (i + 1 == arguments.size()) {
                    line.error = "--port needs COMn=PATH";
                    return line;
                }
                value = arguments[++i];
            } else {
                value = arg.substr(7);
            }
            const auto parsed = link::ParsePortOverride(value);
            if (!parsed) {
                line.error = "--port takes COMn=PATH with n from 1 to 4, not '" + value + "'";
                return line;
            }
            line.portPaths.push_back(*parsed);
        } else {
            line.error = "unknown argument '" + arg + "'";
            return line;
        }
    }
    return line;
}

std::string Usage() {
    return "Usage: meterdesk [--demo] [--port COMn=PATH]...\n\n"
           "The desktop companion of the meter: mirrors its display, logs, plots and judges\n"
           "its readings.\n\n"
           "  --demo            attach a virtual meter as COM1 and one behind a virtual\n"
           "                    USB cable; press \"COM Connect\" or \"USB Connect\"\n"
           "  --port COMn=PATH  use the serial device PATH as COMn (n = 1..4); by default\n"
           "                    COMn is the n-th serial port present, USB adapters first\n"
           "  --version         print the version\n"
           "  --help            this text\n";
}

} // namespace meterdesk::app
