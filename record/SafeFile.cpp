#include "record/SafeFile.h"

#include <cerrno>
#include <cstdint>
#include <exception>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace meterdesk::record {

namespace {

std::string Reason(int error) {
    return std::generic_category().message(error);
}

class PosixFile final : public WritableFile {
public:
    explicit PosixFile(int fd) : fd_(fd) {}
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
        }
        return std::nullopt;
    }

    std::optional<std::string> Finish() override {
        const int synced = ::fsync(fd_) == 0 ? 0 : errno;
        const int closed = ::close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
        if (synced != 0 || closed != 0) {
            return Reason(synced != 0 ? synced : closed);
        }
        return std::nullopt;
    }

private:
    int fd_;
};

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
        const std::size_t slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
        struct stat old {};
        const bool hasOld = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            path = folder + "." + base + "." + std::to_string(random() % 1'000'000) + ".part";
            // 0666 less the umask, as any new file; the old file's mode below.
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST) {
                continue;
            }
            if (fd < 0) {
                error = Reason(errno);
                return nullptr;
            }
            if (hasOld) {
                ::fchmod(fd, old.st_mode & 07777);
            }
            return std::make_unique<PosixFile>(fd);
        }
        error = Reason(EEXIST);
        return nullptr;
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

// Gathers small writes into large ones; the first failure ends the writer.
class BufferedSink final : public ByteSink {
public:
    explicit BufferedSink(WritableFile& file) : file_(file) { buffer_.reserve(kChunk); }

    struct Failed {
        std::string reason;
    };

    void Write(std::string_view bytes) override {
        if (buffer_.size() + bytes.size() > kChunk) {
            Flush();
        }
        if (bytes.size() >= kChunk) {
            Pass(bytes);
            return;
        }
        buffer_.append(bytes);
    }

    void Flush() {
        Pass(buffer_);
        buffer_.clear();
    }

private:
    static constexpr std::size_t kChunk = std::size_t{1} << 20;

    void Pass(std::string_view bytes) {
        if (auto error = file_.Write(bytes)) {
            throw Failed{std::move(*error)};
        }
    }

    WritableFile& file_;
    std::string buffer_;
};

} // namespace

FileSystem& LocalFiles() {
    static PosixFileSystem files;
    return files;
}

std::optional<std::string> SaveFileSafely(FileSystem& files, const std::string& path,
                                          const std::function<void(ByteSink&)>& write) {
    std::string temporary;
    std::string error;
    std::unique_ptr<WritableFile> file = files.CreateBeside(path, temporary, error);
    if (!file) {
        return error;
    }
    std::optional<std::string> failure;
    try {
        BufferedSink sink(*file);
        write(sink);
        sink.Flush();
        failure = file->Finish();
    } catch (const BufferedSink::Failed& failed) {
        failure = failed.reason;
    } catch (const std::exception& thrown) {
        failure = thrown.what();
    } catch (...) {
        file.reset();
        files.Remove(temporary);
        throw;
    }
    file.reset();
    if (!failure) {
        failure = files.Rename(temporary, path);
    }
    if (failure) {
        files.Remove(temporary);
    }
    return failure;
}

} // namespace meterdesk::record
