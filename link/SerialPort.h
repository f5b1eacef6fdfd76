#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace meterdesk::link {

// How DTR and RTS are driven while the port is open.
enum class DtrControl : std::uint8_t { Disable, Enable };
enum class RtsControl : std::uint8_t { Disable, Handshake };

// The line-control block written to an open port: bit rate, character
// format, flow control and the modem lines.
struct LineControl {
    std::int32_t BaudRate = 0;
    bool fBinary = true;
    DtrControl fDtrControl = DtrControl::Disable;
    bool fOutxCtsFlow = false;
    RtsControl fRtsControl = RtsControl::Disable;
    bool fOutX = false; // XON/XOFF on output
    bool fInX = false;  // XON/XOFF on input
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two

    bool operator==(const LineControl&) const = default;
};

// Why a port did not open, so that the user can be told what to do.
enum class OpenFailure : std::uint8_t { None, NotFound, PermissionDenied, Busy, Other };

struct OpenResult {
    OpenFailure failure = OpenFailure::None;
    std::string reason; // the system's words
    bool Opened() const { return failure == OpenFailure::None; }
};

struct ReadResult {
    std::size_t count = 0;
    bool portGone = false; // the device vanished (adapter pulled out)
};

// One serial port of the system, opened exclusively by device path.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual OpenResult Open(const std::string& devicePath) = 0;
    virtual void Close() = 0;
    // Programs the line; failures leave whatever the system accepted.
    virtual void SetLineControl(const LineControl& line) = 0;
    // Drops queued bytes of the given directions.
    virtual void Purge(bool input, bool output) = 0;
    virtual void SetQueueSizes(std::uint16_t input, std::uint16_t output) = 0;
    // Takes what is queued, at most `capacity` bytes, without waiting.
    virtual ReadResult ReadQueued(std::uint8_t* buffer, std::size_t capacity) = 0;
};

// A periodic callback on the main thread.
class PollTimer {
public:
    virtual ~PollTimer() = default;
    virtual void Start(std::uint16_t periodMs, std::function<void()> tick) = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;
};

// Where the port names the user sees ("COM1" ..) lead on this system.
class PortDirectory {
public:
    virtual ~PortDirectory() = default;
    virtual std::string DevicePath(const std::string& portName) = 0;
};

// What a serial port component needs from the platform.
struct SerialPlatform {
    std::function<std::unique_ptr<SerialPort>()> makePort;
    std::function<std::unique_ptr<PollTimer>()> makeTimer;
    std::shared_ptr<PortDirectory> directory;
};

} // namespace meterdesk::link
