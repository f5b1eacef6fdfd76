#include "link/platform/QtSerialLink.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace meterdesk::link {

namespace {

OpenFailure FailureOf(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return OpenFailure::NotFound;
    case QSerialPort::PermissionError:
        return OpenFailure::PermissionDenied;
    case QSerialPort::OpenError:
        return OpenFailure::Busy;
    default:
        return OpenFailure::Other;
    }
}

class QtSerialPort final : public SerialPort {
public:
    OpenResult Open(const std::string& devicePath) override {
        if (devicePath.empty()) {
            return {OpenFailure::NotFound, "no serial port of that number on this computer"};
        }
        port_.setPortName(QString::fromLocal8Bit(devicePath.c_str()));
        if (!port_.open(QIODevice::ReadWrite)) {
            return {FailureOf(port_.error()), port_.errorString().toLocal8Bit().toStdString()};
        }
        // Qt reads whatever arrives at once, waking the event loop for every
        // few bytes on the line (hundreds of times a second at 19200 baud).
        // Held to one byte, its buffer stops the reading after the first byte;
        // the rest waits in the system's queue until the poll takes it.
        port_.setReadBufferSize(1);
        return {};
    }

    void Close() override { port_.close(); }

    void SetLineControl(const LineControl& line) override {
        port_.setBaudRate(line.BaudRate);
        port_.setDataBits(static_cast<QSerialPort::DataBits>(line.ByteSize));
        static constexpr QSerialPort::Parity kParity[] = {
            QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
            QSerialPort::MarkParity, QSerialPort::SpaceParity};
        port_.setParity(kParity[line.Parity < 5 ? line.Parity : 0]);
        static constexpr QSerialPort::StopBits kStopBits[] = {
            QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
        port_.setStopBits(kStopBits[line.StopBits < 3 ? line.StopBits : 0]);
        port_.setFlowControl(line.fOutxCtsFlow ? QSerialPort::HardwareControl
                             : line.fOutX      ? QSerialPort::SoftwareControl
                                               : QSerialPort::NoFlowControl);
        // Both fail harmlessly on a pseudo-terminal, which has no modem lines.
        port_.setDataTerminalReady(line.fDtrControl == DtrControl::Enable);
        if (line.fRtsControl == RtsControl::Disable) {
            port_.setRequestToSend(false);
        }
        port_.clearError();
    }

    void Purge(bool input, bool output) override {
        QSerialPort::Directions directions;
        if (input) {
            directions |= QSerialPort::Input;
        }
        if (output) {
            directions |= QSerialPort::Output;
        }
        port_.clear(directions);
    }

    void SetQueueSizes(std::uint16_t, std::uint16_t) override {
        // The system's queues are its own; Qt buffers what arrives between
        // polls without limit, and each poll takes at most a buffer's worth.
    }

    ReadResult ReadQueued(std::uint8_t* buffer, std::size_t capacity) override {
        ReadResult result;
        // First the byte Qt holds, then the rest straight from the line, so
        // the order is kept. Taking Qt's byte lets it watch the line again.
        if (port_.bytesAvailable() > 0) {
            const qint64 count =
                port_.read(reinterpret_cast<char*>(buffer), static_cast<qint64>(capacity));
            result.count = count > 0 ? static_cast<std::size_t>(count) : 0;
            QuietQtReads();
        }
        bool readFailed = false;
        if (result.count < capacity) {
            const ssize_t count = ::read(static_cast<int>(port_.handle()), buffer + result.count,
                                         capacity - result.count);
            if (count > 0) {
                result.count += static_cast<std::size_t>(count);
            } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
                readFailed = true; // EIO: the device is gone
            }
        }
        result.portGone =
            result.count == 0 &&
            (readFailed || port_.error() == QSerialPort::ResourceError || DeviceHungUp());
        return result;
    }

private:
    // Taking Qt's byte makes Qt watch the line again, which woke the event
    // loop twice a poll, for one byte each time. Its watch is switched off
    // so that the poll alone reads the line; should Qt start it again (after
    // a purge), the next byte it holds comes first, as above.
    void QuietQtReads() {
        for (QSocketNotifier* watch : port_.findChildren<QSocketNotifier*>()) {
            if (watch->type() == QSocketNotifier::Read) {
                watch->setEnabled(false);
            }
        }
    }

    // Qt does not report a hang-up while nothing is to be read: a pulled USB
    // adapter (or a closed pseudo-terminal) only shows as POLLHUP.
    bool DeviceHungUp() {
        pollfd watch{static_cast<int>(port_.handle()), POLLIN, 0};
        return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    QSerialPort port_;
};

class QtPollTimer final : public PollTimer {
public:
    void Start(std::uint16_t periodMs, std::function<void()> tick) override {
        timer_.disconnect();
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
        timer_.start(periodMs);
    }
    void Stop() override { timer_.stop(); }
    bool Active() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace

std::unique_ptr<SerialPort> MakeQtSerialPort() {
    return std::make_unique<QtSerialPort>();
}

std::unique_ptr<PollTimer> MakeQtPollTimer() {
    return std::make_unique<QtPollTimer>();
}

std::vector<std::string> ListSystemSerialPorts() {
    std::vector<std::string> paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        paths.push_back(info.systemLocation().toLocal8Bit().toStdString());
    }
    return paths;
}

SerialPlatform MakeQtSerialPlatform(std::shared_ptr<PortDirectory> directory) {
    return {MakeQtSerialPort, MakeQtPollTimer, std::move(directory)};
}

} // namespace meterdesk::link
