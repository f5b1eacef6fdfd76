#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace meterdesk::record {

// A data file opened for loading. Opening says why a file cannot be loaded
// in words a user knows (missing, a folder or device, not readable) before a
// byte is read: a FIFO or /dev/zero is refused, never read without end.
class InputFile {
public:
    static std::optional<InputFile> Open(const std::string& path, std::string& error);
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&&) = delete;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::uint64_t Size() const { return size_; }
    // Up to `size` bytes; 0 at the end; nullopt with `error` on a read error.
    std::optional<std::size_t> Read(char* buffer, std::size_t size, std::string& error);
    // Up to `size` bytes from `offset` on, as many as the file has there;
    // leaves Read's position alone, and may be called from several threads.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size,
                                      std::string& error) const;

private:
    InputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    int fd_;
    std::uint64_t size_;
};

} // namespace meterdesk::record
