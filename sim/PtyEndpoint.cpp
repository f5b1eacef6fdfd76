#include "sim/PtyEndpoint.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace meterdesk::sim {

PtyEndpoint::PtyEndpoint() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        const std::string reason = std::strerror(errno);
        if (master_ >= 0) {
            ::close(master_);
        }
        throw std::runtime_error("cannot create a pseudo-terminal: " + reason);
    }
    // Not handed on to programs started meanwhile: a copy of the meter's end
    // held by another process would keep the line up after Hangup.
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    path_ = ptsname(master_);
    slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ >= 0) {
        termios raw{};
        if (tcgetattr(slave_, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(slave_, TCSANOW, &raw);
        }
    }
}

PtyEndpoint::~PtyEndpoint() {
    Hangup();
}

std::size_t PtyEndpoint::Write(const std::uint8_t* data, std::size_t size) {
    if (master_ < 0) {
        return 0;
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(master_, data + written, size - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // full (EAGAIN) or closed: the rest is lost on the line
        }
    }
    return written;
}

std::size_t PtyEndpoint::Unread() const {
    int queued = 0;
    if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &queued) != 0 || queued < 0) {
        return 0;
    }
    return static_cast<std::size_t>(queued);
}

void PtyEndpoint::Hangup() {
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

} // namespace meterdesk::sim
