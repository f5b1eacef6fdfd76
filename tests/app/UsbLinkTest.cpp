// Scope: the window's USB link as a person meets it: "USB Connect" with a
// virtual cable, the indicator and the silent-meter watch, devices plugged
// in and the cable pulled while connected, the Info button, the demo's cable, and the Linux
// backend on a machine without such devices.
#include "app/DemoMeter.h"
#include "link/PortNames.h"
#include "link/platform/LinuxHid.h"
#include "link/platform/QtSerialLink.h"
#include "tests/support/SimulatedDevices.h"
#include "tests/support/TestWindow.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace meterdesk::app {
namespace {

using testing::AnswerNextMessageBox;
using testing::FakeSerialPlatform;
using testing::HidIdentity;

// Runs the event loop until `done` holds; gives up after ten seconds.
bool ProcessUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Lets the event loop run for a while (frames would arrive meanwhile).
void ProcessFor(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

struct UsbWindowFixture : ::testing::Test {
    std::shared_ptr<sim::SimulatedHidBus> bus = testing::MakeTestHidBus();
    std::shared_ptr<sim::SimulatedHidDevice> bridge;
    std::unique_ptr<TFCOMM> window;

    void Open(std::shared_ptr<sim::SimulatedHidDevice> cable) {
        bridge = std::move(cable);
        bus->Plug(bridge);
        window = testing::MakeTestWindow(base::kBuildProfile, FakeSerialPlatform(), bus);
        // The watch is ticked by hand: its message box would wait for OK.
        window->ConTimer->stop();
        QApplication::processEvents();
    }
    void OpenWithVirtualBridge() {
        Open(std::make_shared<sim::VirtualBridge>(sim::Scenario::Steady));
    }
    bool Connected() const { return !window->CONok->isHidden(); }
};

TEST_F(UsbWindowFixture, UsbConnectShowsTheReadingsOfTheCable) {
    OpenWithVirtualBridge();
    ASSERT_EQ(window->DevListBox->count(), 1);
    EXPECT_EQ(window->DevListBox->item(0)->text(), QStringLiteral("USB to Serial"));
    EXPECT_EQ(window->DevListBox->currentRow(), 0);

    window->USBCon->click();
    ASSERT_TRUE(window->USBCon->isChecked());
    ASSERT_TRUE(ProcessUntil([&] { return window->state().ReadingUnit == "V"; }));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(std::static_pointer_cast<sim::VirtualBridge>(bridge)->BitRate(), 19200);
    EXPECT_EQ(window->HistoryListBox->item(0)->text(),
              QStringLiteral("00 4B 00 00 03 00 00 00 00 "));

    window->USBCon->click();
    EXPECT_FALSE(window->usb().CurrentDevice()->Reading());
}

TEST_F(UsbWindowFixture, SilentMeterStopsTheLinkAtTheThirdWatchTick) {
    Open(std::make_shared<sim::SimulatedHidDevice>(HidIdentity(u"USB to Serial")));
    window->USBCon->click();
    std::vector<std::uint8_t> idle(9, 0);
    idle[1] = 0xF0;
    for (std::int32_t i = 0; i < link::kSilentReports; ++i) {
        bridge->Send(idle);
    }
    ASSERT_TRUE(
        ProcessUntil([&] { return window->state().HidIdleReports == link::kSilentReports; }));
    window->ConTimerTimer();
    window->ConTimerTimer();
    EXPECT_TRUE(window->USBCon->isChecked());
    QString text;
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    window->ConTimerTimer();
    EXPECT_EQ(text.toStdString(), link::kMeterSilent);
    EXPECT_FALSE(window->USBCon->isChecked());
    EXPECT_FALSE(window->usb().CurrentDevice()->Reading());
    EXPECT_FALSE(window->CONokN->isHidden());
}

TEST_F(UsbWindowFixture, TheLinkGoesOnOverOtherDevicesAndWaitsForAPulledCable) {
    OpenWithVirtualBridge();
    window->USBCon->click();
    ASSERT_TRUE(ProcessUntil([&] { return Connected(); }));

    // Another device comes: the cable is set up again and goes on.
    bus->Plug(std::make_shared<sim::SimulatedHidDevice>(HidIdentity(u"Keyboard")));
    ASSERT_TRUE(ProcessUntil([&] { return window->DevListBox->count() == 2; }));
    EXPECT_TRUE(window->USBCon->isChecked());
    EXPECT_EQ(
        window->HistoryListBox->findItems(QStringLiteral("Arrival of Keyboard"), Qt::MatchExactly)
            .size(),
        1);
    for (int tick = 0; tick < 3; ++tick) {
        window->ConTimerTimer();
    }
    ASSERT_FALSE(Connected());
    ASSERT_TRUE(ProcessUntil([&] { return Connected(); })); // the next frame

    // The cable pulled: the sign greyed while it is waited for.
    bus->Pull(bridge);
    ASSERT_TRUE(ProcessUntil([&] { return !window->CONokN->isEnabled(); }));
    EXPECT_TRUE(window->USBCon->isChecked());
    EXPECT_FALSE(Connected());
    EXPECT_EQ(window->CONokN->toolTip().toStdString(), link::kBridgeLost);
    const auto back = std::make_shared<sim::VirtualBridge>(sim::Scenario::Steady);
    bus->Plug(back);
    ASSERT_TRUE(ProcessUntil([&] { return Connected(); }));
    EXPECT_TRUE(window->CONokN->isEnabled());
    EXPECT_EQ(back->BitRate(), 19200); // set up again
    ProcessFor(150);                   // the trace is written at the view refresh
    EXPECT_TRUE(window->Memo1->toPlainText().contains(QString::fromUtf8(link::kBridgeBack)));
}

TEST_F(UsbWindowFixture, InfoShowsTheSelectedDeviceInAMessage) {
    OpenWithVirtualBridge();
    QString text;
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    window->InfoBtn->click();
    EXPECT_THAT(text.toStdString(), ::testing::StartsWith("USB to Serial\n"));
    EXPECT_THAT(text.toStdString(), ::testing::HasSubstr("Input report length: 9 bytes"));
}

// The demo as a person uses it: "USB Connect" finds the virtual cable and
// the replica follows its meter.
TEST(DemoMode, UsbConnectShowsTheVirtualCablesMeter) {
    DemoMeter demo;
    auto ports =
        std::make_shared<link::ListedPortDirectory>([] { return std::vector<std::string>{}; });
    InstallFontSubstitutes();
    TFCOMM window(std::make_unique<base::FixedLocale>(), base::kBuildProfile,
                  link::MakeQtSerialPlatform(ports), demo.HidPlatform(testing::MakeTestHidBus()));
    window.USBCon->click();
    ASSERT_TRUE(ProcessUntil([&] { return !window.state().ReadingValue.empty(); }));
    EXPECT_EQ(window.state().ReadingUnit, "V");
    EXPECT_EQ(window.state().ReadingCoupling, "DC");
}

TEST(LinuxHidBackend, ListsAndRefusesWhatIsNotThere) {
    const std::shared_ptr<link::HidPlatform> platform = link::MakeLinuxHidPlatform();
    ASSERT_TRUE(platform->Available());
    for (const link::HidInterface& found : platform->ListInterfaces()) {
        EXPECT_THAT(found.InterfacePath, ::testing::StartsWith("/dev/"));
    }
    const link::HidOpenResult opened =
        platform->Open("/dev/meterdesk-no-such-hidraw", link::HidAccess::NoAccess);
    EXPECT_EQ(opened.handle, nullptr);
    EXPECT_EQ(opened.error, static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(platform->ErrorText(ENOENT), "No such file or directory");
    platform->WatchChanges([] {});
    platform->WatchChanges(nullptr);
}

} // namespace
} // namespace meterdesk::app
