#pragma once

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
};

// This computer's files.
FileSystem& LocalFiles();

// Writes a file so that it is either wholly there or not changed at all:
// `write` fills a temporary file in the same folder, which is flushed to the
// disk and renamed over `path`. On any failure (the writer may throw) the
// temporary file is removed, a file of that name stays as it was, and the
// reason is returned.
std::optional<std::string> SaveFileSafely(FileSystem& files, const std::string& path,
                                          const std::function<void(ByteSink&)>& write);

} // namespace meterdesk::record
