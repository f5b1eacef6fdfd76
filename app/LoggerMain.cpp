// meterdesk-log: the meter's readings logged without a window, on the same
// decoding, log rules and file writers as the desktop program.
#include "app/LoggerOptions.h"
#include "app/LoggerSinks.h"
#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "base/ModelProfile.h"
#include "decode/DisplayDecoder.h"
#include "decode/FrameAssembler.h"
#include "link/CommPortDriver.h"
#include "link/PortDoctor.h"
#include "link/PortNames.h"
#include "link/SerialMessages.h"
#include "link/UsbConnection.h"
#include "link/platform/LinuxHid.h"
#include "link/platform/QtSerialLink.h"
#include "record/DataFiles.h"
#include "record/Recorder.h"
#include "record/TextTableFile.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

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
        std::string error;
        sinks_.emplace(options, state_.LocaleFormat, stdout, error);
        if (!error.empty()) {
            Fail(error);
        }
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
        sinks_->Take({table_, table_.RowCount() - 1, std::chrono::system_clock::now()});
        if (options_.samples && static_cast<long long>(table_.RowCount()) >= *options_.samples) {
            stopRequested = true;
            QCoreApplication::exit(0);
        }
    }

    void ReadInput() {
        std::string bytes;
        if (options_.inputPath == "-") {
            char buffer[65536];
            ssize_t n = 0;
            while ((n = ::read(STDIN_FILENO, buffer, sizeof buffer)) > 0) {
                bytes.append(buffer, static_cast<std::size_t>(n));
            }
        } else {
            std::string error;
            const auto read = record::LocalFiles().ReadAll(options_.inputPath, error);
            if (!read) {
                Fail("cannot read " + options_.inputPath + ": " + error);
            }
            bytes = *read;
        }
        // Fed in poll-sized pieces, as the serial line would deliver them.
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
        serial_->OnPortVanished = [this](link::TCommPortDriver& driver) {
            Finish();
            Fail(link::DescribeVanishedPort(link::PortName(driver.ComPort()), driver.DevicePath()));
        };
        if (!serial_->OpenPort()) {
            Fail(link::DescribeOpenFailure(link::PortName(port), serial_->DevicePath(),
                                           serial_->LastOpenResult(),
                                           link::PortDoctor({}, link::CurrentUser())));
        }
    }

    void StartUsb() {
        hid_ = std::make_unique<link::TJvHidDeviceController>(link::MakeLinuxHidPlatform());
        usb_ = std::make_unique<link::UsbConnection>(
            *hid_, usbView_, state_, profile_,
            link::BridgeReportHandlers{link::TJvHidDataEvent::Of<&LogSession::HidHeronRData>(this),
                                       link::TJvHidDataEvent::Of<&LogSession::HidHeronRData>(this)},
            link::PortDoctor({}, link::CurrentUser()));
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
        if (!options_.outputPath.empty()) {
            const record::SaveOutcome saved =
                record::SaveTable(record::LocalFiles(), table_, options_.outputPath);
            if (saved.error) {
                Fail(record::NotSavedMessage(options_.outputPath, *saved.error));
            }
        }
        if (const auto undelivered = sinks_->Finish()) {
            Fail(*undelivered);
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
    HeadlessUsb usbView_;
    std::unique_ptr<link::TJvHidDeviceController> hid_;
    std::unique_ptr<link::UsbConnection> usb_;
    std::optional<app::LoggerSinks> sinks_;
};

int Convert(const app::LoggerOptions& options) {
    record::MeasurementTable table;
    const record::LoadOutcome loaded =
        record::LoadTable(record::LocalFiles(), options.convertFrom, table, false);
    if (!loaded.ok) {
        Fail("cannot load " + options.convertFrom);
    }
    const record::SaveOutcome saved =
        record::SaveTable(record::LocalFiles(), table, options.convertTo);
    if (saved.error) {
        Fail(record::NotSavedMessage(options.convertTo, *saved.error));
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
    case app::LoggerOptions::Command::Doctor: {
        const link::PortDoctor doctor({}, link::CurrentUser());
        const link::Diagnosis diagnosis = doctor.Examine();
        std::printf("%s", link::DoctorReport(diagnosis).c_str());
        return diagnosis.AllUsable() ? 0 : 1;
    }
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
