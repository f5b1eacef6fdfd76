// meterdesk-log: what needs no meter (help, version, convert) runs here, on
// the core alone, so that it starts without loading Qt and the hardware
// libraries; everything else runs in the session program, which takes this
// process's place with the same arguments.
#include "app/LoggerCommands.h"
#include "app/LoggerOptions.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Beside this program in a build, else where the package puts it, seen
// from this program's folder; nullopt when this program's place is unknown
// (a name alone would be looked for in the working folder).
std::optional<std::string> SessionProgram() {
    const std::string name = "meterdesk-log-session";
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return std::nullopt;
    }
    const std::string path(self, static_cast<std::size_t>(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string beside = folder + name;
    return ::access(beside.c_str(), X_OK) == 0 ? beside : folder + MD_SESSION_FROM_BIN "/" + name;
}

} // namespace

int main(int argc, char** argv) {
    using namespace meterdesk;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const app::LoggerOptions options = app::ParseLoggerOptions(arguments);
    if (const std::optional<int> status = app::RunCommandWithoutMeter(options, MD_VERSION)) {
        return *status;
    }
    const std::optional<std::string> session = SessionProgram();
    if (!session) {
        app::FailWith(std::string("cannot find meterdesk-log-session: ") + std::strerror(errno));
    }
    ::execv(session->c_str(), argv);
    app::FailWith("cannot start " + *session + ": " + std::strerror(errno));
}
