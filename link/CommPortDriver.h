#pragma once

#include "link/SerialPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::link {

enum class TComPortNumber : std::uint8_t { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };
enum class TComPortBaudRate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200
};
enum class TComPortDataBits : std::uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum class TComPortStopBits : std::uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum class TComPortParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum class TComPortHwHandshaking : std::uint8_t { hhNONE, hhRTSCTS };
enum class TComPortSwHandshaking : std::uint8_t { shNONE, shXONXOFF };

// "COM1" .. "COM4".
std::string PortName(TComPortNumber port);
// The bit rate a speed stands for, and the speed of a bit rate (nullopt for
// a rate the component does not offer).
std::int32_t BitRate(TComPortBaudRate speed);
std::optional<TComPortBaudRate> SpeedOfBitRate(std::int32_t bitRate);

// The serial port component: receives the meter's bytes. It opens one of
// COM1..COM4, programs the line and polls the port on the main thread every
// ComPortPollingDelay ms, handing each non-empty chunk to OnReceiveData.
class TCommPortDriver {
public:
    using TComPortReceiveDataEvent = std::function<void(
        TCommPortDriver& Sender, const std::uint8_t* DataPtr, std::int32_t DataSize)>;

    explicit TCommPortDriver(SerialPlatform platform);
    ~TCommPortDriver();
    TCommPortDriver(const TCommPortDriver&) = delete;
    TCommPortDriver& operator=(const TCommPortDriver&) = delete;

    // True when the port is open afterwards, also when it was open already.
    bool OpenPort();
    // Opens the port at this device path instead of ComPort's, with the same
    // settings: a device that came back under another name.
    bool OpenPortAt(const std::string& devicePath);
    void ClosePort();
    bool IsOpen() const { return open_; }
    // Writes the line settings and purges both directions; only when open.
    void ApplyLineSettings();
    void PurgeBuffers(bool input, bool output);

    // Why the last OpenPort failed, and the device path it tried.
    const OpenResult& LastOpenResult() const { return lastOpen_; }
    const std::string& DevicePath() const { return devicePath_; }

    // The line-control block the settings make.
    LineControl MakeLineControl() const;

    TComPortNumber ComPort() const { return comPort_; }
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    TComPortParity ComPortParity() const { return parity_; }
    TComPortHwHandshaking ComPortHwHandshaking() const { return hw_; }
    TComPortSwHandshaking ComPortSwHandshaking() const { return sw_; }
    std::uint16_t ComPortInBufSize() const { return inBufSize_; }
    std::uint16_t ComPortOutBufSize() const { return outBufSize_; }
    std::uint16_t ComPortPollingDelay() const { return pollingDelay_; }
    bool EnableDTROnOpen() const { return enableDtr_; }
    std::uint16_t OutputTimeout() const { return outputTimeout_; }

    // Dropped while open.
    void SetComPort(TComPortNumber port);
    // Stored; while open the line is reprogrammed (and purged) at once.
    void SetComPortSpeed(TComPortBaudRate speed);
    void SetComPortDataBits(TComPortDataBits bits);
    void SetComPortStopBits(TComPortStopBits bits);
    void SetComPortParity(TComPortParity parity);
    void SetComPortHwHandshaking(TComPortHwHandshaking handshaking);
    void SetComPortSwHandshaking(TComPortSwHandshaking handshaking);
    // Ignored while open.
    void SetComPortInBufSize(std::uint16_t size);
    void SetComPortOutBufSize(std::uint16_t size);
    // While open the poll restarts with the new period.
    void SetComPortPollingDelay(std::uint16_t delayMs);
    void SetEnableDTROnOpen(bool enable) { enableDtr_ = enable; }
    void SetOutputTimeout(std::uint16_t timeoutMs) { outputTimeout_ = timeoutMs; }

    TComPortReceiveDataEvent OnReceiveData;
    // Runs when the open port's device vanished; the port is closed by then.
    std::function<void(TCommPortDriver& Sender)> OnPortVanished;

    // One poll: what the timer runs every ComPortPollingDelay ms.
    void Poll();

private:
    void StartPolling();

    SerialPlatform platform_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<PollTimer> timer_;
    bool open_ = false;
    OpenResult lastOpen_;
    std::string devicePath_;
    std::vector<std::uint8_t> receiveBuffer_;

    TComPortNumber comPort_ = TComPortNumber::pnCOM2;
    TComPortBaudRate speed_ = TComPortBaudRate::br9600;
    TComPortDataBits dataBits_ = TComPortDataBits::db8BITS;
    TComPortStopBits stopBits_ = TComPortStopBits::sb1BITS;
    TComPortParity parity_ = TComPortParity::ptNONE;
    TComPortHwHandshaking hw_ = TComPortHwHandshaking::hhNONE;
    TComPortSwHandshaking sw_ = TComPortSwHandshaking::shNONE;
    std::uint16_t inBufSize_ = 2048;
    std::uint16_t outBufSize_ = 2048;
    std::uint16_t pollingDelay_ = 50;
    bool enableDtr_ = true;
    std::uint16_t outputTimeout_ = 4000;
};

} // namespace meterdesk::link
