// The window's USB link: the HID controller's handlers, the buttons of the
// USB connection, and the view of the window that the connection logic
// (link/UsbConnection.h) drives.
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "link/platform/LinuxHid.h"

#include <QListWidget>
#include <QMessageBox>
#include <QToolButton>

namespace meterdesk::app {

namespace {

class UsbLinkWidgets final : public link::UsbLinkView {
public:
    explicit UsbLinkWidgets(TFCOMM& window) : window_(window) {}

    void ClearDeviceLines() override { window_.DevListBox->clear(); }
    void AddDeviceLine(const std::string& text) override {
        window_.DevListBox->addItem(QString::fromUtf8(text.c_str()));
    }
    int SelectedDeviceLine() const override {
        // Only a selected line counts: focus alone makes a row current.
        const QList<QListWidgetItem*> selected = window_.DevListBox->selectedItems();
        return selected.isEmpty() ? -1 : window_.DevListBox->row(selected.constFirst());
    }
    void SelectDeviceLine(int line) override { window_.DevListBox->setCurrentRow(line); }
    void AddHistoryLine(const std::string& text) override {
        QListWidget* history = window_.HistoryListBox;
        if (static_cast<std::size_t>(history->count()) >= decode::kHistoryLineLimit) {
            delete history->takeItem(0);
        }
        history->addItem(QString::fromUtf8(text.c_str()));
        history->setCurrentRow(history->count() - 1);
    }
    void ClearHistory() override { window_.HistoryListBox->clear(); }
    bool UsbConDown() const override { return window_.USBCon->isChecked(); }
    void SetUsbConUp() override { window_.USBCon->setChecked(false); }
    bool ReadBtnDown() const override { return window_.ReadBtn->isChecked(); }
    void SetReadBtnUp() override { window_.ReadBtn->setChecked(false); }
    void ShowInformation(const std::string& text) override {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                        QString::fromUtf8(text.c_str()), QMessageBox::Ok, &window_);
        box.exec();
    }
    void LinkBreak(bool waiting, const std::string& text) override {
        window_.ShowLinkWait(waiting, text);
    }

private:
    TFCOMM& window_;
};

} // namespace

std::shared_ptr<link::HidPlatform> TFCOMM::DefaultHidPlatform() {
    return link::MakeLinuxHidPlatform();
}

void TFCOMM::BindUsbLink() {
    usbView_ = std::make_unique<UsbLinkWidgets>(*this);
    usb_ = std::make_unique<link::UsbConnection>(
        HidCtl, *usbView_, state_, profile_,
        link::BridgeReportHandlers{link::TJvHidDataEvent::Of<&TFCOMM::HidHeronRData>(this),
                                   link::TJvHidDataEvent::Of<&TFCOMM::HidPipitRData>(this)},
        link::PortDoctor({}, link::CurrentUser()));
    HidCtl.SetOnEnumerate(link::TJvHidEnumerateEvent::Of<&TFCOMM::HidCtlEnumerate>(this));
    HidCtl.SetOnArrival(link::TJvHidPlugEvent::Of<&TFCOMM::HidCtlArrival>(this));
    HidCtl.SetOnRemoval(link::TJvHidPlugEvent::Of<&TFCOMM::HidCtlRemoval>(this));
    HidCtl.SetOnDeviceDataError(
        link::TJvHidDataErrorEvent::Of<&TFCOMM::HidCtlDeviceDataError>(this));
    // The first handler rescans at once: the device list is filled and the
    // bridge selected before start-up runs.
    HidCtl.SetOnDeviceChange(link::TNotifyEvent::Of<&TFCOMM::HidCtlDeviceChange>(this));
}

// The controller calls these from the event loop (change notices, reader
// hand-overs); like every handler they show what escapes them.
void TFCOMM::HidCtlDeviceChange(link::TJvHidDeviceController& /*Sender*/) {
    Guarded([this] { usb_->DeviceChange(); })();
}

bool TFCOMM::HidCtlEnumerate(link::TJvHidDevice& HidDev, std::int32_t Idx) {
    bool goOn = true;
    Guarded([&] { goOn = usb_->Enumerate(HidDev, Idx); })();
    return goOn;
}

void TFCOMM::HidCtlArrival(link::TJvHidDevice& HidDev) {
    Guarded([&] { usb_->Arrival(HidDev); })();
}

void TFCOMM::HidCtlRemoval(link::TJvHidDevice& HidDev) {
    Guarded([&] { usb_->Removal(HidDev); })();
}

void TFCOMM::HidCtlDeviceDataError(link::TJvHidDevice& HidDev, std::uint32_t Error) {
    Guarded([&] { usb_->DataError(HidDev, Error); })();
}

std::string TFCOMM::DeviceCaption(link::TJvHidDevice& HidDev) {
    return link::DeviceCaption(HidDev);
}

void TFCOMM::HidHeronRData(link::TJvHidDevice& /*HidDev*/, std::uint8_t ReportID,
                           const std::uint8_t* Data, std::uint16_t Size) {
    Guarded([&] { assembler_.HidHeronRData(ReportID, Data, Size); })();
}

void TFCOMM::HidPipitRData(link::TJvHidDevice& /*HidDev*/, std::uint8_t ReportID,
                           const std::uint8_t* Data, std::uint16_t Size) {
    Guarded([&] { assembler_.HidPipitRData(ReportID, Data, Size); })();
}

void TFCOMM::USBConClick() {
    usb_->USBConClick();
}
void TFCOMM::SetFeatureClick() {
    usb_->SetFeatureClick();
}
void TFCOMM::ReadBtnClick() {
    usb_->ReadBtnClick();
}
void TFCOMM::ClearBtnClick() {
    usb_->ClearBtnClick();
}
void TFCOMM::InfoBtnClick() {
    usb_->InfoBtnClick();
}

} // namespace meterdesk::app
