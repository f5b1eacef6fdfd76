#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::record {

// Where a file writer puts its bytes.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(std::string_view bytes) = 0;
};

// Collects the bytes in memory (tests, the picture's encoder).
class StringSink final : public ByteSink {
public:
    void Write(std::string_view bytes) override { text.append(bytes); }
    std::string text;
};

// A file being written. Write and Finish report failure by an error text.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    virtual std::optional<std::string> Write(std::string_view bytes) = 0;
    // Flushes the bytes to the disk and closes the file.
    virtual std::optional<std::string> Finish() = 0;
};

// What a save finds at a name.
struct SaveTarget {
    enum class Kind : std::uint8_t {
        Missing, // nothing there yet
        Regular, // a file (or a folder, which the rename then refuses)
        Special, // a FIFO, device or socket: written, never replaced
    };
    std::string path; // the name with the symbolic links at its end followed
    Kind kind = Kind::Missing;
    std::string error; // when the name cannot be followed (a loop of links)
};

// The few file operations a safe save and a load need, so that tests can
// make each of them fail.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates a new, empty file beside `target` (same folder) with a name of
    // its own; fills `path` with it. The file takes the permissions of
    // `target` when that exists.
    virtual std::unique_ptr<WritableFile> CreateBeside(const std::string& target, std::string& path,
                                                       std::string& error) = 0;
    // Replaces `to` by `from` in one step.
    virtual std::optional<std::string> Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // The whole file, or nullopt with `error` filled.
    virtual std::optional<std::string> ReadAll(const std::string& path, std::string& error) = 0;

    // Where a save of `path` writes. Unless told otherwise: the name itself.
    virtual SaveTarget Inspect(const std::string& path) {
        return {path, Exists(path) ? SaveTarget::Kind::Regular : SaveTarget::Kind::Missing, {}};
    }
    // Opens an existing file to be written over from its start; Finish cuts
    // a regular file to what was written.
    virtual std::unique_ptr<WritableFile> OpenInPlace(const std::string& /*path*/,
                                                      std::string& error) {
        error = "Operation not supported";
        return nullptr;
    }
    // Removes what earlier saves of this program left beside `target` when
    // they were killed: only files whose writer is gone.
    virtual void RemoveLeftovers(const std::string& /*target*/) {}
};

// This computer's files.
FileSystem& LocalFiles();

// Writes a file so that it is either wholly there or not changed at all:
// `write` fills a temporary file in the same folder, which is flushed to the
// disk and renamed over `path`. On any failure (the writer may throw) the
// temporary file is removed, a file of that name stays as it was, and the
// reason is returned.
//
// A symbolic link is followed and the file it leads to replaced; a FIFO,
// device or socket is written directly; a writable file in a folder that
// refuses the temporary file is written over in place once the whole
// content is in memory. The old file's permissions and, where allowed, its
// owner are kept. Temporary files are named ".mdsave-XXXXXX".
std::optional<std::string> SaveFileSafely(FileSystem& files, const std::string& path,
                                          const std::function<void(ByteSink&)>& write);

// Removes the temporary files of the saves now in progress, so that a
// program ended by a signal leaves none behind. Async-signal-safe: call it
// from a SIGINT or SIGTERM handler (it only unlinks).
void RemoveUnfinishedSaves() noexcept;

} // namespace meterdesk::record
