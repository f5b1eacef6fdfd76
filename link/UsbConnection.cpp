#include "link/UsbConnection.h"

#include "link/HidText.h"

#include <cstdio>
#include <utility>

namespace meterdesk::link {

namespace {

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%.*X", digits, value);
    return text;
}

} // namespace

std::string DeviceCaption(link::TJvHidDevice& HidDev) {
    std::string caption = link::NarrowText(HidDev.ReadProductText());
    if (caption.empty()) {
        caption = "Device VID=" + Hex(HidDev.Attributes().VendorID, 4) +
                  " PID=" + Hex(HidDev.Attributes().ProductID, 4);
    }
    const std::string serial = link::NarrowText(HidDev.ReadSerialText());
    if (!serial.empty()) {
        caption += " (Serial=" + serial + ")";
    }
    return caption;
}

std::array<std::uint8_t, 10> BridgeSetupReport(const base::ModelProfile& profile) {
    // Report number, bit rate low and high byte, two zeros, line format 3.
    constexpr std::array<std::uint8_t, 10> k2400{0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0, 0, 0, 0};
    constexpr std::array<std::uint8_t, 10> k19200{0x00, 0x00, 0x4B, 0x00, 0x00, 0x03, 0, 0, 0, 0};
    std::array<std::uint8_t, 10> report = k2400;
    if (profile.IFOsprey) {
        report = k19200;
    }
    if (profile.IFWren || profile.IFHeron || profile.IFTern) {
        report = k2400;
    }
    return report;
}

std::string DescribeBridgeWithoutAccess(const link::TJvHidDevice& device,
                                        const PortDoctor* doctor) {
    const std::string& path = device.PnPInfo().InterfacePath();
    return "The USB interface cable is plugged in (" + device.PnPInfo().InterfacePath() +
           "), but this user may not read and write it.\n\n"
           "Install the udev rule that comes with meterdesk, then unplug the cable and plug it "
           "in again:\n"
           "sudo cp packaging/70-meterdesk-usb-bridge.rules /etc/udev/rules.d/\n"
           "sudo udevadm control --reload\n\n"
           "An installation into /usr brings the rule along (see \"USB cable on Linux\" in the "
           "README)." +
           (doctor != nullptr ? doctor->Explain(DeviceKind::UsbBridge, path) : std::string());
}

std::string DescribeDevice(link::TJvHidDevice& device) {
    const link::HidAttributes& attributes = device.Attributes();
    const std::string serial = link::NarrowText(device.ReadSerialText());
    const link::HidCaps caps = device.ReadCapabilities();
    return DeviceCaption(device) + "\n\nVendor ID: " + Hex(attributes.VendorID, 4) +
           "\nProduct ID: " + Hex(attributes.ProductID, 4) +
           "\nVersion: " + Hex(attributes.VersionNumber, 4) +
           "\nProduct: " + link::NarrowText(device.ReadProductText()) +
           "\nSerial number: " + (serial.empty() ? "none" : serial) +
           "\nRead and write access: " + (device.FullAccess() ? "yes" : "no") +
           "\nInput report length: " + std::to_string(caps.InputReportByteLength) + " bytes" +
           "\nDevice: " + device.PnPInfo().InterfacePath();
}

UsbConnection::UsbConnection(link::TJvHidDeviceController& controller, UsbLinkView& view,
                             base::MeasurementState& state, const base::ModelProfile& profile,
                             BridgeReportHandlers handlers, std::optional<PortDoctor> doctor)
    : controller_(controller), view_(view), state_(state), profile_(profile),
      handlers_(std::move(handlers)), doctor_(std::move(doctor)) {}

UsbConnection::~UsbConnection() {
    StopReading();
    CurrentDevice_ = nullptr;
    for (Line& line : lines_) {
        line.device.reset();
    }
}

link::TJvHidDevice* UsbConnection::LineDevice(int line) const {
    if (line < 0 || line >= LineCount()) {
        return nullptr;
    }
    return lines_[static_cast<std::size_t>(line)].device.get();
}

bool UsbConnection::TakeSelectedDevice() {
    CurrentDevice_ = nullptr;
    const int selected = view_.SelectedDeviceLine();
    if (lines_.empty() || selected < 0 || selected >= LineCount()) {
        return false;
    }
    CurrentDevice_ = LineDevice(selected);
    return true;
}

void UsbConnection::DeviceChange() {
    view_.SetReadBtnUp();
    ReadBtnClick();
    // The objects given back below are destroyed; the current device is
    // found again by identity in the new list, or forgotten.
    const std::string current =
        CurrentDevice_ != nullptr ? CurrentDevice_->PnPInfo().DeviceInstance() : std::string();
    CurrentDevice_ = nullptr;
    for (Line& line : lines_) {
        line.device.reset();
    }
    lines_.clear();
    view_.ClearDeviceLines();
    controller_.EnumerateDevices();

    // The bridge is the last line named exactly so: no serial text.
    int bridge = -1;
    for (int i = 0; i < LineCount(); ++i) {
        if (lines_[static_cast<std::size_t>(i)].text == kBridgeProduct) {
            bridge = i;
        }
    }
    view_.SelectDeviceLine(bridge);
    for (Line& line : lines_) {
        if (!current.empty() && line.device && line.device->PnPInfo().DeviceInstance() == current) {
            CurrentDevice_ = line.device.get();
        }
    }
    ResumeLink();
}

void UsbConnection::ResumeLink() {
    if (!linkUp_ || !view_.UsbConDown()) {
        linkUp_ = false;
        return;
    }
    const int selected = view_.SelectedDeviceLine();
    link::TJvHidDevice* bridge = LineDevice(selected);
    if (bridge == nullptr || !bridge->FullAccess()) {
        if (!waiting_) {
            waiting_ = true;
            view_.LinkBreak(true, kBridgeLost);
        }
        return;
    }
    // The bridge re-lent (the same one, or back after a replug): set up
    // again, and its reader restarted.
    SetFeatureClick();
    state_.HidIdleReports = 0;
    BindProfileHandler();
    const bool wasWaiting = waiting_;
    waiting_ = false;
    view_.LinkBreak(false, wasWaiting ? kBridgeBack : "");
}

bool UsbConnection::Enumerate(link::TJvHidDevice& HidDev, std::int32_t Idx) {
    std::string caption = DeviceCaption(HidDev);
    view_.AddDeviceLine(caption);
    lines_.push_back({std::move(caption), controller_.LendDevice(Idx)});
    return true;
}

void UsbConnection::Arrival(link::TJvHidDevice& HidDev) {
    view_.AddHistoryLine("Arrival of " + DeviceCaption(HidDev));
}

void UsbConnection::Removal(link::TJvHidDevice& HidDev) {
    view_.AddHistoryLine("Removal of " + DeviceCaption(HidDev));
}

void UsbConnection::DataError(link::TJvHidDevice& /*HidDev*/, std::uint32_t Error) {
    view_.AddHistoryLine("READ ERROR: " + controller_.ErrorText(Error) + " (" + Hex(Error, 1) +
                         ")");
}

void UsbConnection::SetFeatureClick() {
    if (!TakeSelectedDevice()) {
        view_.ShowInformation(kCableNotConnected);
        view_.SetUsbConUp();
        return;
    }
    const std::array<std::uint8_t, 10> report = BridgeSetupReport(profile_);
    if (CurrentDevice_ != nullptr) {
        CurrentDevice_->SendFeatureReport(report.data(), report.size()); // not examined
    }
    std::string line;
    for (std::size_t i = 1; i < report.size(); ++i) {
        line += Hex(report[i], 2) + " ";
    }
    view_.AddHistoryLine(line);
}

void UsbConnection::ReadBtnClick() {
    if (!TakeSelectedDevice()) {
        return;
    }
    if (CurrentDevice_ == nullptr || !CurrentDevice_->FullAccess()) {
        view_.SetReadBtnUp();
        return;
    }
    CurrentDevice_->SetDataHandler(view_.ReadBtnDown() ? handlers_.HidPipitRData : nullptr);
}

void UsbConnection::USBConClick() {
    // Any click ends a link that ran or waited; pressed down, a new one starts.
    linkUp_ = false;
    if (waiting_) {
        waiting_ = false;
        view_.LinkBreak(false, kBridgeNoLongerAwaited);
    }
    ReadBtnClick();
    SetFeatureClick();
    state_.HidIdleReports = 0;
    if (!TakeSelectedDevice()) {
        return;
    }
    if (CurrentDevice_ == nullptr || !CurrentDevice_->FullAccess()) {
        // Raising the button without a word would leave the user guessing
        // why a cable that is plugged in does not connect.
        const bool connecting = view_.UsbConDown();
        view_.SetUsbConUp();
        if (connecting && CurrentDevice_ != nullptr) {
            view_.ShowInformation(
                DescribeBridgeWithoutAccess(*CurrentDevice_, doctor_ ? &*doctor_ : nullptr));
        }
        return;
    }
    if (!view_.UsbConDown()) {
        CurrentDevice_->SetDataHandler(nullptr);
        return;
    }
    BindProfileHandler();
    linkUp_ = true;
}

void UsbConnection::BindProfileHandler() {
    if (profile_.IFOsprey) {
        CurrentDevice_->SetDataHandler(handlers_.HidHeronRData);
    }
    if (profile_.IFWren) {
        CurrentDevice_->SetDataHandler(handlers_.HidPipitRData);
    }
}

void UsbConnection::ClearBtnClick() {
    view_.ClearHistory();
}

void UsbConnection::InfoBtnClick() {
    const int selected = view_.SelectedDeviceLine();
    if (selected < 0 || selected >= LineCount()) {
        return;
    }
    link::TJvHidDevice* device = LineDevice(selected);
    view_.ShowInformation(device != nullptr ? DescribeDevice(*device)
                                            : lines_[static_cast<std::size_t>(selected)].text +
                                                  "\n\nThe device could not be taken for use.");
}

void UsbConnection::WatchSilentMeter() {
    if (state_.HidIdleReports < kSilentReports) {
        return;
    }
    state_.HidIdleReports = 0;
    view_.SetUsbConUp();
    linkUp_ = false;
    if (CurrentDevice_ != nullptr) {
        CurrentDevice_->SetDataHandler(nullptr);
    }
    view_.ShowInformation(kMeterSilent);
}

void UsbConnection::StopReading() {
    for (Line& line : lines_) {
        if (line.device) {
            line.device->SetDataHandler(nullptr);
        }
    }
}

} // namespace meterdesk::link
