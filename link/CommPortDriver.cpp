#include "link/CommPortDriver.h"

#include <array>

namespace meterdesk::link {

std::string PortName(TComPortNumber port) {
    return std::string("COM") + static_cast<char>('1' + static_cast<int>(port));
}

std::int32_t BitRate(TComPortBaudRate speed) {
    constexpr std::array<std::int32_t, 13> kRates{110,   300,   600,   1200,  2400,  4800,  9600,
                                                  14400, 19200, 38400, 56000, 57600, 115200};
    return kRates[static_cast<std::size_t>(speed)];
}

std::optional<TComPortBaudRate> SpeedOfBitRate(std::int32_t bitRate) {
    for (int speed = 0; speed <= static_cast<int>(TComPortBaudRate::br115200); ++speed) {
        if (BitRate(static_cast<TComPortBaudRate>(speed)) == bitRate) {
            return static_cast<TComPortBaudRate>(speed);
        }
    }
    return std::nullopt;
}

TCommPortDriver::TCommPortDriver(SerialPlatform platform)
    : platform_(std::move(platform)), timer_(platform_.makeTimer()) {
    receiveBuffer_.assign(inBufSize_, 0); // allocated once, reused by every poll
}

TCommPortDriver::~TCommPortDriver() {
    ClosePort();
}

bool TCommPortDriver::OpenPort() {
    if (open_) {
        return true;
    }
    return OpenPortAt(platform_.directory->DevicePath(PortName(comPort_)));
}

bool TCommPortDriver::OpenPortAt(const std::string& devicePath) {
    if (open_) {
        return true;
    }
    devicePath_ = devicePath;
    port_ = platform_.makePort();
    lastOpen_ = port_->Open(devicePath_);
    if (!lastOpen_.Opened()) {
        port_.reset();
        return false;
    }
    open_ = true;
    ApplyLineSettings();
    StartPolling();
    return true;
}

void TCommPortDriver::ClosePort() {
    if (!open_) {
        return;
    }
    timer_->Stop();
    port_->Close();
    port_.reset();
    open_ = false;
}

LineControl TCommPortDriver::MakeLineControl() const {
    LineControl line;
    line.BaudRate = BitRate(speed_);
    line.fBinary = true;
    line.fDtrControl = enableDtr_ ? DtrControl::Enable : DtrControl::Disable;
    if (hw_ == TComPortHwHandshaking::hhRTSCTS) {
        line.fOutxCtsFlow = true;
        line.fRtsControl = RtsControl::Handshake;
    }
    if (sw_ == TComPortSwHandshaking::shXONXOFF) {
        line.fOutX = true;
        line.fInX = true;
    }
    line.XonLim = static_cast<std::uint16_t>(inBufSize_ / 4);
    line.XoffLim = 1;
    line.ByteSize = static_cast<std::uint8_t>(static_cast<int>(dataBits_) + 5);
    line.Parity = static_cast<std::uint8_t>(parity_);
    line.StopBits = static_cast<std::uint8_t>(stopBits_);
    return line;
}

void TCommPortDriver::ApplyLineSettings() {
    if (!open_) {
        return;
    }
    port_->SetLineControl(MakeLineControl());
    PurgeBuffers(true, true);
    port_->SetQueueSizes(inBufSize_, outBufSize_);
}

void TCommPortDriver::PurgeBuffers(bool input, bool output) {
    if (open_) {
        port_->Purge(input, output);
    }
}

void TCommPortDriver::StartPolling() {
    timer_->Start(pollingDelay_, [this] { Poll(); });
}

void TCommPortDriver::Poll() {
    if (!open_) {
        return;
    }
    const ReadResult read = port_->ReadQueued(receiveBuffer_.data(), receiveBuffer_.size());
    if (read.portGone) {
        // A pulled adapter never comes back under the same open file: stop
        // polling a dead port and let the window say so.
        ClosePort();
        if (OnPortVanished) {
            OnPortVanished(*this);
        }
        return;
    }
    if (read.count != 0 && OnReceiveData) {
        OnReceiveData(*this, receiveBuffer_.data(), static_cast<std::int32_t>(read.count));
    }
}

void TCommPortDriver::SetComPort(TComPortNumber port) {
    if (!open_) {
        comPort_ = port;
    }
}

void TCommPortDriver::SetComPortSpeed(TComPortBaudRate speed) {
    speed_ = speed;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortDataBits(TComPortDataBits bits) {
    dataBits_ = bits;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortStopBits(TComPortStopBits bits) {
    stopBits_ = bits;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortParity(TComPortParity parity) {
    parity_ = parity;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking handshaking) {
    hw_ = handshaking;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking handshaking) {
    sw_ = handshaking;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortInBufSize(std::uint16_t size) {
    if (open_) {
        return;
    }
    inBufSize_ = size;
    receiveBuffer_.assign(size, 0);
    receiveBuffer_.shrink_to_fit();
}

void TCommPortDriver::SetComPortOutBufSize(std::uint16_t size) {
    if (!open_) {
        outBufSize_ = size;
    }
}

void TCommPortDriver::SetComPortPollingDelay(std::uint16_t delayMs) {
    if (delayMs == pollingDelay_) {
        return;
    }
    pollingDelay_ = delayMs;
    if (open_) {
        timer_->Stop();
        StartPolling();
    }
}

} // namespace meterdesk::link
