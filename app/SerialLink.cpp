// The window's serial link: the port choice, the connected and disconnected
// states, and the link indicator with its watch.
#include "app/Controls.h"
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "link/SerialMessages.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>

#include <array>

namespace meterdesk::app {

namespace {

void ShowInformation(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                    QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void TFCOMM::COM11Click() {
    ChoosePort(link::TComPortNumber::pnCOM1);
}
void TFCOMM::COM21Click() {
    ChoosePort(link::TComPortNumber::pnCOM2);
}
void TFCOMM::COM31Click() {
    ChoosePort(link::TComPortNumber::pnCOM3);
}
void TFCOMM::COM41Click() {
    ChoosePort(link::TComPortNumber::pnCOM4);
}

void TFCOMM::ChoosePort(link::TComPortNumber port) {
    const auto index = static_cast<std::size_t>(port);
    const std::array<QAction*, 4> items{COM11, COM21, COM31, COM41};
    const std::array<PanelButton*, 4> panels{BtCOM1, BtCOM2, BtCOM3, BtCOM4};
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i]->setChecked(i == index);
        panels[i]->setVisible(i == index);
    }
    // The user sees "COM n"; the tooltip tells which device that is here.
    const std::string path = ports_->DevicePath(link::PortName(port));
    panels[index]->setToolTip(path.empty() ? QStringLiteral("No serial port for this number")
                                           : QString::fromLocal8Bit(path.c_str()));
    COMM2.SetComPort(port);
}

void TFCOMM::COMConClick() {
    EnterSerialState(COMCon->isChecked());
}
void TFCOMM::BTCon1Click() {
    EnterSerialState(true);
}
void TFCOMM::BtDiscon1Click() {
    EnterSerialState(false);
}

void TFCOMM::EnterSerialState(bool connected) {
    ComSetup1->setEnabled(!connected);
    START1->setChecked(connected);
    START1->setEnabled(!connected);
    STOP1->setEnabled(connected);
    STOP1->setChecked(!connected);
    if (connected && !COMM2.OpenPort()) {
        // Showing the connected state over a closed port would claim a link
        // that is not there: say why, and stay disconnected.
        const std::string portName = link::PortName(COMM2.ComPort());
        ShowError(link::DescribeOpenFailure(portName, COMM2.DevicePath(), COMM2.LastOpenResult(),
                                            link::PortDoctor({}, link::CurrentUser())));
        COMCon->setChecked(false);
        EnterSerialState(false);
        return;
    }
    if (!connected) {
        COMM2.ClosePort();
    }
    BTCon->setVisible(!connected);
    BtDiscon->setVisible(connected);
    for (PanelButton* panel : {BtCOM1, BtCOM2, BtCOM3, BtCOM4}) {
        panel->setEnabled(!connected);
    }
}

void TFCOMM::SerialPortVanished() {
    COMCon->setChecked(false);
    EnterSerialState(false);
    ShowInformation(
        this, link::DescribeVanishedPort(link::PortName(COMM2.ComPort()), COMM2.DevicePath()));
}

void TFCOMM::ConTimerTimer() {
    if (state_.LinkIdleTicks != 2) {
        ++state_.LinkIdleTicks;
        return;
    }
    // The third tick without a decoded frame; a bridge that sends only
    // empty reports has its link stopped.
    usb_->WatchSilentMeter();
    CONok->hide();
    CONokN->show();
    state_.LinkIdleTicks = 0;
}

} // namespace meterdesk::app
