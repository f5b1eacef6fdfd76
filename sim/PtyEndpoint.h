#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace meterdesk::sim {

// The meter's end of a pseudo-terminal: the program opens the other end,
// whose path this prints, as if it were a serial port. The endpoint keeps
// its own handle on that end, set to raw mode, so that bytes written before
// the program opens it are neither echoed nor translated.
class PtyEndpoint {
public:
    // Throws std::runtime_error when the system has no pseudo-terminals left.
    PtyEndpoint();
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // The path the program opens, e.g. /dev/pts/3.
    const std::string& DevicePath() const { return path_; }

    // Writes what the line takes now; bytes that do not fit are dropped, as
    // a real line drops what nobody reads. Returns the bytes written.
    std::size_t Write(const std::uint8_t* data, std::size_t size);

    // Bytes on the program's end that it has not read yet.
    std::size_t Unread() const;

    // Ends the line: the program's reads then fail as for a pulled cable.
    void Hangup();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

} // namespace meterdesk::sim
