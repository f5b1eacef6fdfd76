// meterdesk-log: the meter's readings logged without a window, on the same
// decoding, log rules and file writers as the desktop program.
#include "app/LoggerOptions.h"
#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "base/ModelProfile.h"
#include "decode/DisplayDecoder.h"
#include "decode/FrameAssembler.h"
#include "link/CommPortDriver.h"
#include "link/PortNames.h"
#include "link/SerialMessages.h"
#include "link/SerialReconnect.h"
#include "link/UsbConnection.h"
#include "link/platform/LinuxHid.h"
#include "link/platform/QtSerialLink.h"
#include "record/DataFiles.h"
#include "record/Recorder.h"
#include "record/TextTableFile.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using namespace meterdesk;

std::atomic<bool> stopRequested{false};

void RequestStop(int) {
    stopRequested = true;
}

// One line on standard error, whatever line breaks the message has.
[[noreturn]] void Fail(std::string message) {
    for (char& c : message) {
        c = c == '\n' ? ' ' : c;
    }
    std::string line;
    for (const char c : message) {
        if (!(c == ' ' && !line.empty() && line.back() == ' ')) {
            line += c;
        }
    }
    std::fprintf(stderr, "meterdesk-log: %s\n", line.c_str());
    std::fflush(stdout);
    std::exit(1);
}

// A line on standard error that does not end the run.
void Say(const std::string& message) {
    std::fprintf(stderr, "meterdesk-log: %s\n", message.c_str());
}

// The USB link without a window: "USB Connect" is held down, messages go
// to standard error, and a refused connection ends the run.
class HeadlessUsb final : public link::UsbLinkView {
public:
    void ClearDeviceLines() override { lines_ = 0; }
    void AddDeviceLine(const std::string&) override { ++lines_; }
    int SelectedDeviceLine() const override { return selected_; }
    void SelectDeviceLine(int line) override { selected_ = line; }
    void AddHistoryLine(const std::string&) override {}
    void ClearHistory() override {}
    bool UsbConDown() const override { return down_; }
    void SetUsbConUp() override { down_ = false; }
    bool ReadBtnDown() const override { return false; }
    void SetReadBtnUp() override {}
    void ShowInformation(const std::string& text) override { Fail(text); }
    void LinkBreak(bool /*waiting*/, const std::string& text) override {
        dropFrames();
        if (!text.empty()) {
            Say(text);
        }
    }
    std::function<void()> dropFrames;

private:
    int lines_ = 0;
    int selected_ = -1;
    bool down_ = true;
};

// One logging run: source -> assembly -> decoding -> log -> standard output.
class LogSession {
public:
    explicit LogSession(const app::LoggerOptions& options)
        : options_(options), locale_(base::MakeSystemLocale()),
          decoder_(state_, panel_, profile_, *locale_), assembler_(state_, decoder_),
          recorder_(state_, table_,
                    {record::LocalClockText, {}, {}, [](const std::string& text) { Fail(text); }}) {
        state_.DecimalSep = locale_->ReadDecimalSeparator();
        state_.LocaleFormat = locale_->ReadLocaleFormat();
        state_.RecordLimit = options.limit;
        settings_.RecordSI = options.intervalSeconds.has_value();
        settings_.RepeatSet = options.repeat;
        settings_.RecordSITime = std::to_string(options.intervalSeconds.value_or(0));
        decoder_.handOffs.ReadingReady = [this] { Record(); };
        std::printf("%.*s\r\n", static_cast<int>(record::kTextHeader.size()),
                    record::kTextHeader.data());
        std::fflush(stdout);
    }

    int Run() {
        if (options_.source == app::LogSource::InputFile) {
            ReadInput();
            return Finish();
        }
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [] {
            if (stopRequested) {
                QCoreApplication::exit(0);
            }
        });
        watch.start(50);
        QTimer seconds;
        QObject::connect(&seconds, &QTimer::timeout, &seconds,
                         [this] { recorder_.TrecordTimer(settings_); });
        seconds.start(1000);
        if (options_.durationSeconds) {
            QTimer::singleShot(static_cast<int>(*options_.durationSeconds * 1000),
                               [] { QCoreApplication::exit(0); });
        }
        if (options_.source == app::LogSource::Usb) {
            StartUsb();
        } else {
            StartSerial();
        }
        QCoreApplication::exec();
        if (usb_) {
            usb_->StopReading();
        }
        return Finish();
    }

private:
    void Record() {
        // One poll can carry several frames: none is logged past --samples.
        const bool enough =
            options_.samples && static_cast<long long>(table_.RowCount()) >= *options_.samples;
        if (enough || !recorder_.INDataToTable(settings_)) {
            return;
        }
        std::string line;
        record::AppendTextRow(table_, table_.RowCount() - 1, line);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
        if (options_.samples && static_cast<long long>(table_.RowCount()) >= *options_.samples) {
            stopRequested = true;
            QCoreApplication::exit(0);
        }
    }

    void ReadInput() {
        if (options_.inputPath == "-") {
            std::string bytes;
            char buffer[65536];
            ssize_t n = 0;
            while ((n = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
                bytes.append(buffer, static_cast<std::size_t>(n));
            }
            Feed(bytes);
            return;
        }
        // A file goes through in blocks: it is never held whole.
        const int fd = ::open(options_.inputPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail("cannot read " + options_.inputPath + ": " + std::strerror(errno));
        }
        std::vector<char> block(std::size_t{1} << 16);
        while (!stopRequested) {
            const ssize_t n = ::read(fd, block.data(), block.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                Fail("cannot read " + options_.inputPath + ": " + std::strerror(errno));
            }
            if (n == 0) {
                break;
            }
            Feed(std::string_view(block.data(), static_cast<std::size_t>(n)));
        }
        ::close(fd);
    }

    // Fed in poll-sized pieces, as the serial line would deliver them.
    void Feed(std::string_view bytes) {
        constexpr std::size_t kChunk = 2048;
        for (std::size_t at = 0; at < bytes.size() && !stopRequested; at += kChunk) {
            const std::size_t n = std::min(kChunk, bytes.size() - at);
            assembler_.HHeronRData(reinterpret_cast<const std::uint8_t*>(bytes.data() + at),
                                   static_cast<std::uint32_t>(n));
        }
    }

    void StartSerial() {
        auto ports = std::make_shared<link::ListedPortDirectory>(link::ListSystemSerialPorts);
        link::TComPortNumber port = link::TComPortNumber::pnCOM1;
        if (options_.source == app::LogSource::SerialPath) {
            ports->Override("COM1", options_.serialPath);
        } else {
            port = static_cast<link::TComPortNumber>(options_.comNumber - 1);
        }
        serial_ = std::make_unique<link::TCommPortDriver>(link::MakeQtSerialPlatform(ports));
        serial_->SetComPort(port);
        serial_->SetComPortSpeed(link::SpeedOfBitRate(base::ResolveProfile(profile_).baudRate)
                                     .value_or(link::TComPortBaudRate::br2400));
        serial_->OnReceiveData = [this](link::TCommPortDriver&, const std::uint8_t* data,
                                        std::int32_t size) {
            assembler_.HHeronRData(data, static_cast<std::uint32_t>(size));
        };
        // A port that vanishes is waited for until it is back or the run ends.
        serialReturn_ = std::make_unique<link::SerialReconnect>(*serial_, link::MakeQtPollTimer());
        serialReturn_->OnLost = [this, port] {
            assembler_.DropFramesInProgress();
            Say(link::DescribeLinkLost(link::PortName(port), serialReturn_->DevicePath()));
        };
        serialReturn_->OnBack = [this, port] {
            Say(link::DescribeLinkBack(link::PortName(port), serialReturn_->DevicePath()));
        };
        serial_->OnPortVanished = [this](link::TCommPortDriver&) { serialReturn_->PortVanished(); };
        if (!serial_->OpenPort()) {
            Fail(link::DescribeOpenFailure(link::PortName(port), serial_->DevicePath(),
                                           serial_->LastOpenResult()));
        }
        serialReturn_->Watch();
    }

    void StartUsb() {
        usbView_.dropFrames = [this] { assembler_.DropFramesInProgress(); };
        hid_ = std::make_unique<link::TJvHidDeviceController>(link::MakeLinuxHidPlatform());
        usb_ = std::make_unique<link::UsbConnection>(
            *hid_, usbView_, state_, profile_,
            link::BridgeReportHandlers{
                link::TJvHidDataEvent::Of<&LogSession::HidHeronRData>(this),
                link::TJvHidDataEvent::Of<&LogSession::HidHeronRData>(this)});
        hid_->SetOnEnumerate(link::TJvHidEnumerateEvent::Of<&LogSession::Enumerate>(this));
        hid_->SetOnDeviceChange(link::TNotifyEvent::Of<&LogSession::DeviceChange>(this));
        usb_->USBConClick();
        if (!usbView_.UsbConDown()) {
            Fail("the USB cable (\"USB to Serial\") cannot be used");
        }
    }

public:
    void HidHeronRData(link::TJvHidDevice&, std::uint8_t ReportID, const std::uint8_t* Data,
                       std::uint16_t Size) {
        assembler_.HidHeronRData(ReportID, Data, Size);
    }
    bool Enumerate(link::TJvHidDevice& device, std::int32_t index) {
        return usb_->Enumerate(device, index);
    }
    void DeviceChange(link::TJvHidDeviceController&) { usb_->DeviceChange(); }

private:
    int Finish() {
        if (options_.outputPath.empty()) {
            return 0;
        }
        const record::SaveOutcome saved =
            record::SaveTable(record::LocalFiles(), table_, options_.outputPath);
        if (saved.error) {
            Fail(record::NotSavedMessage(options_.outputPath, *saved.error));
        }
        return 0;
    }

    const app::LoggerOptions& options_;
    base::ModelProfile profile_ = base::kBuildProfile;
    std::unique_ptr<base::LocaleSource> locale_;
    base::MeasurementState state_;
    decode::PanelState panel_;
    decode::DisplayDecoder decoder_;
    decode::FrameAssembler assembler_;
    record::MeasurementTable table_;
    record::Recorder recorder_;
    record::RecordSettings settings_;
    std::unique_ptr<link::TCommPortDriver> serial_;
    std::unique_ptr<link::SerialReconnect> serialReturn_;
    HeadlessUsb usbView_;
    std::unique_ptr<link::TJvHidDeviceController> hid_;
    std::unique_ptr<link::UsbConnection> usb_;
};

int Convert(const app::LoggerOptions& options) {
    // Out of memory ends the command with its line, like any other failure.
    try {
        record::MeasurementTable table;
        const record::LoadOutcome loaded = record::LoadTable(options.convertFrom, table, false);
        if (!loaded.ok) {
            Fail("cannot load " + options.convertFrom + ": " + loaded.error);
        }
        const record::SaveOutcome saved =
            record::SaveTable(record::LocalFiles(), table, options.convertTo);
        if (saved.error) {
            Fail(record::NotSavedMessage(options.convertTo, *saved.error));
        }
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
    } catch (const std::exception& failure) {
        Fail(failure.what());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const app::LoggerOptions options = app::ParseLoggerOptions(arguments);
    if (!options.error.empty()) {
        std::fprintf(stderr, "meterdesk-log: %s\n\n%s", options.error.c_str(),
                     app::LoggerUsage().c_str());
        return 2;
    }
    switch (options.command) {
    case app::LoggerOptions::Command::Help:
        std::printf("%s", app::LoggerUsage().c_str());
        return 0;
    case app::LoggerOptions::Command::Version:
        std::printf("meterdesk-log %s\n", MD_VERSION);
        return 0;
    case app::LoggerOptions::Command::Convert:
        return Convert(options);
    case app::LoggerOptions::Command::Log:
        break;
    }
    struct sigaction stop {};
    stop.sa_handler = RequestStop;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    QCoreApplication application(argc, argv);
    LogSession session(options);
    return session.Run();
}
