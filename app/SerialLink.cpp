// The window's serial link: the port choice, the connected and disconnected
// states, and the link indicator with its watch.
#include "app/Controls.h"
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "link/SerialMessages.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include <array>

namespace meterdesk::app {

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
    if (connected) {
        serialReturn_.Watch();
    } else {
        if (serialReturn_.Waiting()) {
            ShowLinkWait(false, "Stopped waiting for " + link::PortName(COMM2.ComPort()) + ".");
        }
        serialReturn_.Stop();
        COMM2.ClosePort();
    }
    BTCon->setVisible(!connected);
    BtDiscon->setVisible(connected);
    for (PanelButton* panel : {BtCOM1, BtCOM2, BtCOM3, BtCOM4}) {
        panel->setEnabled(!connected);
    }
}

// A port that vanishes while connected is waited for; the link stays in
// its connected state, so that "COM Connect" still ends it.
void TFCOMM::BindSerialReturn() {
    COMM2.OnPortVanished = [this](link::TCommPortDriver&) {
        Guarded([this] { SerialPortVanished(); })();
    };
    serialReturn_.OnLost = [this] {
        Guarded([this] {
            ShowLinkWait(true, link::DescribeLinkLost(link::PortName(COMM2.ComPort()),
                                                      serialReturn_.DevicePath()));
        })();
    };
    serialReturn_.OnBack = [this] {
        Guarded([this] {
            ShowLinkWait(false, link::DescribeLinkBack(link::PortName(COMM2.ComPort()),
                                                       serialReturn_.DevicePath()));
        })();
    };
}

void TFCOMM::SerialPortVanished() {
    serialReturn_.PortVanished();
}

void TFCOMM::ShowLinkWait(bool waiting, const std::string& why) {
    assembler_.DropFramesInProgress(); // no row is made across the gap
    if (why.empty()) {
        return;
    }
    TraceFrame(why);
    if (waiting) {
        CONok->hide();
        CONokN->show();
    }
    // The "no link" sign greyed out while the device is away.
    CONokN->setEnabled(!waiting);
    CONokN->setToolTip(waiting ? QString::fromLocal8Bit(why.c_str()) : QString());
}

void TFCOMM::ConTimerTimer() {
    linkWatch_.Tick();
}

void TFCOMM::LinkIdle() {
    // A bridge that sends only empty reports has its link stopped.
    usb_->WatchSilentMeter();
    CONok->hide();
    CONokN->show();
}

} // namespace meterdesk::app
