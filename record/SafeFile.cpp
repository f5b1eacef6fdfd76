#include "record/SafeFile.h"

#include "record/PipelinedSink.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <pthread.h>
#include <random>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace meterdesk::record {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

constexpr std::string_view kTemporaryPrefix = ".mdsave-";
constexpr std::size_t kTemporaryLetters = 6;
// A left-over temporary file is removed only when no writer holds its lock
// and it has not changed for this long (a writer between its open and its
// lock, or on another computer sharing the folder).
constexpr std::time_t kLeftoverAge = 60;

// The temporary files of saves in progress, for RemoveUnfinishedSaves: a
// fixed table of atomics and plain characters, which a signal handler may
// read. A slot is 0 free, 1 being filled, 2 naming a live file.
struct PendingSave {
    std::atomic<int> state{0};
    std::array<char, PATH_MAX> path{};
};
static_assert(std::atomic<int>::is_always_lock_free);
std::array<PendingSave, 8> pendingSaves;

int RegisterPending(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (std::size_t slot = 0; slot < pendingSaves.size(); ++slot) {
        int expected = 0;
        if (pendingSaves[slot].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(pendingSaves[slot].path.data(), path.c_str(), path.size() + 1);
            pendingSaves[slot].state.store(2, std::memory_order_release);
            return static_cast<int>(slot);
        }
    }
    return -1; // more saves at once than slots: that one is not signal-safe
}

void ReleasePending(int slot) {
    if (slot >= 0) {
        pendingSaves[static_cast<std::size_t>(slot)].state.store(0, std::memory_order_release);
    }
}

// Holds the stop signals back while a temporary file is created and
// registered: one arriving in between would end the program before the file
// could be found and removed. Held-back signals arrive at the end.
class StopSignalsHeld {
public:
    StopSignalsHeld() {
        sigset_t stops;
        sigemptyset(&stops);
        for (const int number : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE}) {
            sigaddset(&stops, number);
        }
        pthread_sigmask(SIG_BLOCK, &stops, &before_);
    }
    ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t before_{};
};

// A file written through a descriptor. `cutAtEnd`: a file written over in
// place, which Finish cuts to the bytes written.
class PosixFile final : public WritableFile {
public:
    explicit PosixFile(int fd, bool cutAtEnd = false) : fd_(fd), cutAtEnd_(cutAtEnd) {}
    ~PosixFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::optional<std::string> Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Reason(errno);
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
            written_ += static_cast<off_t>(written);
        }
        return std::nullopt;
    }

    std::optional<std::string> Finish() override {
        int failed = 0;
        if (cutAtEnd_) {
            struct stat info {};
            if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) &&
                ::ftruncate(fd_, written_) != 0) {
                failed = errno;
            }
        }
        // A FIFO or a device cannot be synced; that is no failure.
        if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP &&
            failed == 0) {
            failed = errno;
        }
        if (::close(fd_) != 0 && failed == 0) {
            failed = errno;
        }
        fd_ = -1;
        if (failed != 0) {
            return Reason(failed);
        }
        return std::nullopt;
    }

private:
    int fd_;
    bool cutAtEnd_;
    off_t written_ = 0;
};

// A temporary file of a save in progress: registered for the signal
// handler and locked, so that other programs' clean-ups leave it alone.
class TemporaryFile final : public WritableFile {
public:
    TemporaryFile(int fd, const std::string& path) : file_(fd), slot_(RegisterPending(path)) {
        ::flock(fd, LOCK_EX | LOCK_NB);
    }
    ~TemporaryFile() override { ReleasePending(slot_); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::optional<std::string> Write(std::string_view bytes) override { return file_.Write(bytes); }
    std::optional<std::string> Finish() override { return file_.Finish(); }

private:
    PosixFile file_;
    int slot_;
};

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryLetters ||
        !name.starts_with(kTemporaryPrefix)) {
        return false;
    }
    for (const char c : name.substr(kTemporaryPrefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
            return false;
        }
    }
    return true;
}

// The folder of a path with its trailing slash, or empty for the current one.
std::string FolderPrefix(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<WritableFile> CreateBeside(const std::string& target, std::string& path,
                                               std::string& error) override {
        struct stat old {};
        const bool hasOld = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
        constexpr std::string_view kLetters =
            "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            // Short, so that a name at the system's length limit still has one.
            path = FolderPrefix(target) + std::string(kTemporaryPrefix);
            for (std::size_t i = 0; i < kTemporaryLetters; ++i) {
                path += kLetters[random() % kLetters.size()];
            }
            int fd = -1;
            int openError = 0;
            std::unique_ptr<TemporaryFile> file;
            {
                const StopSignalsHeld held;
                // 0666 less the umask, as any new file; the old file's mode below.
                fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                openError = errno;
                if (fd >= 0) {
                    file = std::make_unique<TemporaryFile>(fd, path);
                }
            }
            if (fd < 0 && openError == EEXIST) {
                continue;
            }
            if (fd < 0) {
                error = Reason(openError);
                return nullptr;
            }
            if (hasOld) {
                // The owner where this user may give it, else the group; the
                // mode last, as a change of owner clears set-id bits.
                if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
                    ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
                    // Neither: the new file is this user's, as any new file.
                }
                ::fchmod(fd, old.st_mode & 07777);
            }
            return file;
        }
        error = Reason(EEXIST);
        return nullptr;
    }

    SaveTarget Inspect(const std::string& path) override {
        std::string current = path;
        for (int hop = 0; hop < 40; ++hop) {
            struct stat info {};
            if (::lstat(current.c_str(), &info) != 0) {
                return {current, SaveTarget::Kind::Missing, {}};
            }
            if (!S_ISLNK(info.st_mode)) {
                const bool special = S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) ||
                                     S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode);
                return {
                    current, special ? SaveTarget::Kind::Special : SaveTarget::Kind::Regular, {}};
            }
            std::string link(static_cast<std::size_t>(PATH_MAX), '\0');
            const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
            if (length < 0) {
                return {current, SaveTarget::Kind::Missing, Reason(errno)};
            }
            link.resize(static_cast<std::size_t>(length));
            current = link.starts_with('/') ? link : FolderPrefix(current) + link;
        }
        return {path, SaveTarget::Kind::Missing, Reason(ELOOP)};
    }

    std::unique_ptr<WritableFile> OpenInPlace(const std::string& path,
                                              std::string& error) override {
        // No O_TRUNC: a FIFO or device takes the bytes as they come, a file is
        // cut to its new length only once all of them are written.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            error = Reason(errno);
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd, true);
    }

    void RemoveLeftovers(const std::string& target) override {
        const std::string prefix = FolderPrefix(target);
        DIR* folder = ::opendir(prefix.empty() ? "." : prefix.c_str());
        if (folder == nullptr) {
            return;
        }
        const std::time_t now = std::time(nullptr);
        while (const dirent* entry = ::readdir(folder)) {
            if (!IsTemporaryName(entry->d_name)) {
                continue;
            }
            const std::string path = prefix + entry->d_name;
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
            if (fd < 0) {
                continue;
            }
            struct stat info {};
            // Its writer holds the lock while it lives.
            if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                now - info.st_mtime >= kLeftoverAge && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                ::unlink(path.c_str());
            }
            ::close(fd);
        }
        ::closedir(folder);
    }

    std::optional<std::string> Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) {
            return Reason(errno);
        }
        // The new name is durable only once the folder is on the disk too.
        const int folder = ::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
        return std::nullopt;
    }

    void Remove(const std::string& path) override { ::unlink(path.c_str()); }

    bool Exists(const std::string& path) override {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    }

    std::optional<std::string> ReadAll(const std::string& path, std::string& error) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = Reason(errno);
            return std::nullopt;
        }
        struct stat info {};
        std::string bytes;
        if (::fstat(fd, &info) == 0 && info.st_size > 0) {
            bytes.reserve(static_cast<std::size_t>(info.st_size));
        }
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                error = Reason(errno);
                ::close(fd);
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(fd);
        return bytes;
    }
};

} // namespace

FileSystem& LocalFiles() {
    static PosixFileSystem files;
    return files;
}

namespace {

// Runs the writer into `file` in 1 MB writes and finishes it.
std::optional<std::string> Stream(WritableFile& file, const std::function<void(ByteSink&)>& write) {
    try {
        PipelinedSink sink(file);
        write(sink);
        sink.Finish();
        return file.Finish();
    } catch (const PipelinedSink::Failed& failed) {
        return failed.reason;
    } catch (const std::exception& thrown) {
        return thrown.what();
    }
}

// A FIFO, a device: written as it is, the bytes as they come.
std::optional<std::string> WriteDirectly(FileSystem& files, const std::string& path,
                                         const std::function<void(ByteSink&)>& write) {
    std::string error;
    const std::unique_ptr<WritableFile> file = files.OpenInPlace(path, error);
    if (!file) {
        return error;
    }
    return Stream(*file, write);
}

// A file the folder will not let us replace: the whole content first, so
// that a failing writer leaves the file untouched, then over it in place.
std::optional<std::string> WriteInPlace(FileSystem& files, const std::string& path,
                                        const std::function<void(ByteSink&)>& write) {
    StringSink content;
    try {
        write(content);
    } catch (const std::exception& thrown) {
        return thrown.what();
    }
    std::string error;
    const std::unique_ptr<WritableFile> file = files.OpenInPlace(path, error);
    if (!file) {
        return error;
    }
    if (auto failed = file->Write(content.text)) {
        return failed;
    }
    return file->Finish();
}

} // namespace

std::optional<std::string> SaveFileSafely(FileSystem& files, const std::string& path,
                                          const std::function<void(ByteSink&)>& write) {
    const SaveTarget target = files.Inspect(path);
    if (!target.error.empty()) {
        return target.error;
    }
    if (target.kind == SaveTarget::Kind::Special) {
        return WriteDirectly(files, target.path, write);
    }
    files.RemoveLeftovers(target.path);
    std::string temporary;
    std::string error;
    std::unique_ptr<WritableFile> file = files.CreateBeside(target.path, temporary, error);
    if (!file) {
        if (target.kind == SaveTarget::Kind::Regular) {
            return WriteInPlace(files, target.path, write);
        }
        return error;
    }
    std::optional<std::string> failure;
    try {
        failure = Stream(*file, write);
    } catch (...) {
        file.reset();
        files.Remove(temporary);
        throw;
    }
    if (!failure) {
        failure = files.Rename(temporary, target.path);
    }
    if (failure) {
        files.Remove(temporary);
    }
    file.reset(); // unregistered only once the name is gone
    return failure;
}

void RemoveUnfinishedSaves() noexcept {
    for (PendingSave& pending : pendingSaves) {
        if (pending.state.load(std::memory_order_acquire) == 2) {
            ::unlink(pending.path.data());
        }
    }
}

} // namespace meterdesk::record
