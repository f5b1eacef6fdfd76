#include "record/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace meterdesk::record {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

} // namespace

std::optional<InputFile> InputFile::Open(const std::string& path, std::string& error) {
    // Not blocking: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int reason = errno;
        if (reason == ENOENT) {
            error = "the file does not exist";
        } else if (reason == EACCES || reason == EPERM) {
            error = "the file may not be read (" + Reason(reason) + ")";
        } else {
            error = "the file cannot be opened (" + Reason(reason) + ")";
        }
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "it is a folder, not a file" : "it is not a regular file";
        ::close(fd);
        return std::nullopt;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return InputFile(fd, static_cast<std::uint64_t>(info.st_size));
}

InputFile::~InputFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

InputFile::InputFile(InputFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
    other.fd_ = -1;
}

std::optional<std::size_t> InputFile::Read(char* buffer, std::size_t size, std::string& error) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            error = "the file cannot be read (" + Reason(errno) + ")";
            return std::nullopt;
        }
    }
}

std::optional<std::size_t> InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                                             std::string& error) const {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got =
            ::pread(fd_, buffer + filled, size - filled, static_cast<off_t>(offset + filled));
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = "the file cannot be read (" + Reason(errno) + ")";
            return std::nullopt;
        }
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

} // namespace meterdesk::record
