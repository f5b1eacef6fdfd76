// meterdesk-log: the meter's readings logged without a window, on the same
// decoding, log rules and file writers as the desktop program.
#include "app/LoggerCommands.h"
#include "app/LoggerInput.h"
#include "app/LoggerOptions.h"
#include "app/LoggerRecover.h"
#include "app/LoggerSignals.h"
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
#include "link/SerialReconnect.h"
#include "link/UsbConnection.h"
#include "link/platform/LinuxHid.h"
#include "link/platform/QtSerialLink.h"
#include "record/Conversion.h"
#include "record/DataFiles.h"
#include "record/Journal.h"
#include "record/Recorder.h"
#include "record/TextTableFile.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <chrono>
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
    void ShowInformation(const std::string& text) override { app::FailWith(text); }
    void LinkBreak(bool /*waiting*/, const std::string& text) override {
        dropFrames();
        if (!text.empty()) {
            app::SayOnStandardError(text);
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
          recorder_(state_, table_, {record::LocalClockText, {}, {}, [](const std::string& text) {
                                         app::FailWith(text);
                                     }}) {
        state_.DecimalSep = locale_->ReadDecimalSeparator();
        state_.LocaleFormat = locale_->ReadLocaleFormat();
        state_.RecordLimit = options.limit;
        settings_.RecordSI = options.intervalSeconds.has_value();
        settings_.RepeatSet = options.repeat;
        settings_.RecordSITime = std::to_string(options.intervalSeconds.value_or(0));
        decoder_.handOffs.ReadingReady = [this] { Record(); };
        journal_.onFailure = [](const std::string& reason) {
            app::SayOnStandardError(reason + "; logging goes on in memory");
        };
        std::string error;
        sinks_.emplace(options, state_.LocaleFormat, stdout, error);
        if (!error.empty()) {
            app::FailWith(error);
        }
    }

    int Run() {
        if (options_.source == app::LogSource::InputFile) {
            ReadInput();
            return Finish();
        }
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [] {
            if (app::StopRequested()) {
                QCoreApplication::exit(0);
            }
        });
        watch.start(50);
        QTimer commit;
        QObject::connect(&commit, &QTimer::timeout, &commit, [this] { journal_.Commit(); });
        commit.start(kCommitMs);
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
        journal_.Append(table_.Row(table_.RowCount() - 1));
        sinks_->Take({table_, table_.RowCount() - 1, std::chrono::system_clock::now()});
        // The reader of standard output went (SIGPIPE ends the run).
        stdoutLost_ = stdoutLost_ || std::ferror(stdout) != 0;
        if (options_.samples && static_cast<long long>(table_.RowCount()) >= *options_.samples) {
            app::RequestStop();
            QCoreApplication::exit(0);
        }
    }

    // Decoded as the bytes arrive, so that --samples ends the run while the
    // writer is still there, and a signal keeps what came so far.
    void ReadInput() {
        const bool standardInput = options_.inputPath == "-";
        const int fd =
            standardInput ? STDIN_FILENO : ::open(options_.inputPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            app::FailWith("cannot read " + options_.inputPath + ": " + std::strerror(errno));
        }
        auto lastSecond = std::chrono::steady_clock::now();
        auto lastCommit = lastSecond;
        const auto error = app::StreamInput(
            fd,
            [this](const std::uint8_t* bytes, std::size_t size) {
                assembler_.HHeronRData(bytes, static_cast<std::uint32_t>(size));
            },
            [&] {
                const auto now = std::chrono::steady_clock::now();
                if (now - lastCommit >= std::chrono::milliseconds(kCommitMs)) {
                    journal_.Commit();
                    lastCommit = now;
                }
                if (now - lastSecond >= std::chrono::seconds(1)) {
                    recorder_.TrecordTimer(settings_);
                    lastSecond += std::chrono::seconds(1);
                }
            },
            [] { return app::StopRequested(); });
        if (!standardInput) {
            ::close(fd);
        }
        if (error) {
            Finish();
            app::FailWith("cannot read " + options_.inputPath + ": " + *error);
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
            app::SayOnStandardError(
                link::DescribeLinkLost(link::PortName(port), serialReturn_->DevicePath()));
        };
        serialReturn_->OnBack = [this, port] {
            app::SayOnStandardError(
                link::DescribeLinkBack(link::PortName(port), serialReturn_->DevicePath()));
        };
        serial_->OnPortVanished = [this](link::TCommPortDriver&) { serialReturn_->PortVanished(); };
        if (!serial_->OpenPort()) {
            app::FailWith(link::DescribeOpenFailure(link::PortName(port), serial_->DevicePath(),
                                                    serial_->LastOpenResult(),
                                                    link::PortDoctor({}, link::CurrentUser())));
        }
        serialReturn_->Watch();
    }

    void StartUsb() {
        usbView_.dropFrames = [this] { assembler_.DropFramesInProgress(); };
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
            app::FailWith("the USB cable (\"USB to Serial\") cannot be used");
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
    // The journal goes once the log reached its place: --output written, or
    // every row on standard output when there is no --output.
    int Finish() {
        journal_.Commit();
        bool keepJournal = false;
        if (!options_.outputPath.empty()) {
            const record::SaveOutcome saved =
                record::SaveTable(record::LocalFiles(), table_, options_.outputPath);
            if (saved.error) {
                const std::string kept =
                    journal_.Path().empty() ? "" : "; the rows are kept in " + journal_.Path();
                app::FailWith(record::NotSavedMessage(options_.outputPath, *saved.error) + kept);
            }
        } else if (stdoutLost_) {
            if (!journal_.Path().empty()) {
                app::SayOnStandardError("standard output went; the rows are kept in " +
                                        journal_.Path() + " (meterdesk-log recover)");
            }
            keepJournal = true;
        }
        if (const auto undelivered = sinks_->Finish()) {
            app::FailWith(*undelivered);
        }
        if (!keepJournal) {
            journal_.Done();
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
    // Commits come at least this often, never one per row.
    static constexpr int kCommitMs = 500;
    record::Journal journal_{record::JournalDirectory(), "meterdesk-log"};
    bool stdoutLost_ = false;
    std::unique_ptr<link::TCommPortDriver> serial_;
    std::unique_ptr<link::SerialReconnect> serialReturn_;
    HeadlessUsb usbView_;
    std::unique_ptr<link::TJvHidDeviceController> hid_;
    std::unique_ptr<link::UsbConnection> usb_;
    std::optional<app::LoggerSinks> sinks_;
};

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const app::LoggerOptions options = app::ParseLoggerOptions(arguments);
    if (const std::optional<int> status = app::RunCommandWithoutMeter(options, MD_VERSION)) {
        return *status;
    }
    if (options.command == app::LoggerOptions::Command::Recover) {
        app::InstallSaveCleanupSignals();
    }
    switch (options.command) {
    case app::LoggerOptions::Command::RecoverList:
        std::printf("%s", app::ListLeftJournals(record::JournalDirectory()).c_str());
        return 0;
    case app::LoggerOptions::Command::Recover:
        if (const auto error = app::RecoverJournal(record::JournalDirectory(),
                                                   options.recoverJournal, options.recoverTo)) {
            app::FailWith(*error);
        }
        return 0;
    case app::LoggerOptions::Command::Doctor: {
        const link::PortDoctor doctor({}, link::CurrentUser());
        const link::Diagnosis diagnosis = doctor.Examine();
        std::printf("%s", link::DoctorReport(diagnosis).c_str());
        return diagnosis.AllUsable() ? 0 : 1;
    }
    case app::LoggerOptions::Command::Log:
    case app::LoggerOptions::Command::Help:
    case app::LoggerOptions::Command::Version:
    case app::LoggerOptions::Command::Convert:
        break; // the last three ran above
    }
    if (!options.outputPath.empty()) {
        if (const auto problem = app::OutputProblem(options.outputPath)) {
            app::FailWith("cannot write " + options.outputPath + ": " + *problem);
        }
    }
    app::InstallStopSignals();
    QCoreApplication application(argc, argv);
    LogSession session(options);
    return session.Run();
}
