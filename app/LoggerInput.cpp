#include "app/LoggerInput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace meterdesk::app {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

} // namespace

std::optional<std::string>
StreamInput(int fd, const std::function<void(const std::uint8_t*, std::size_t)>& feed,
            const std::function<void()>& tick, const std::function<bool()>& stop) {
    constexpr std::size_t kBlock = 65536;
    constexpr std::size_t kPiece = 2048;
    constexpr auto kTick = std::chrono::milliseconds(250);
    std::vector<std::uint8_t> block(kBlock);
    auto nextTick = std::chrono::steady_clock::now() + kTick;
    while (!stop()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextTick) {
            tick();
            nextTick = now + kTick;
        }
        pollfd wait{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - now);
        const int ready = ::poll(&wait, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno != EINTR) {
            return Reason(errno);
        }
        if (ready <= 0) {
            continue; // quiet, or a signal: look at the clock and the stop flag
        }
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n == 0) {
            return std::nullopt;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return Reason(errno);
        }
        for (std::size_t at = 0; at < static_cast<std::size_t>(n) && !stop(); at += kPiece) {
            feed(block.data() + at, std::min(kPiece, static_cast<std::size_t>(n) - at));
        }
    }
    return std::nullopt;
}

std::optional<std::string> OutputProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return "it is a folder";
        }
        if (S_ISREG(info.st_mode)) {
            // Opened for writing without truncating: the old file stays.
            const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) {
                return Reason(errno);
            }
            ::close(fd);
            return std::nullopt;
        }
        return ::access(path.c_str(), W_OK) == 0 ? std::nullopt
                                                 : std::optional<std::string>(Reason(errno));
    }
    if (errno != ENOENT) {
        return Reason(errno);
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    // A file made and removed at once tells what no permission bit can (a
    // read-only disk, a full one, a missing folder).
    const std::string probe = folder + "/.meterdesk-log-probe-" + std::to_string(::getpid());
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Reason(errno);
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return std::nullopt;
}

} // namespace meterdesk::app
