// Scope: the window's serial link: connecting and disconnecting, the port
// choice, the link indicator and its watch, what the user is told when a
// port fails to open, and the wait for a port that vanished.
#include "app/DemoMeter.h"
#include "link/PortNames.h"
#include "link/platform/QtSerialLink.h"
#include "tests/support/TestWindow.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace meterdesk::app {
namespace {

using testing::AnswerNextMessageBox;
using testing::FakeSerialPlatform;
using testing::MakeTestWindow;

struct SerialLinkFixture : ::testing::Test {
    FakeSerialPlatform serial;
    std::unique_ptr<TFCOMM> window = MakeTestWindow(base::kBuildProfile, serial);

    void ExpectState(bool connected) {
        EXPECT_EQ(window->comm2().IsOpen(), connected);
        EXPECT_EQ(window->ComSetup1->isEnabled(), !connected);
        EXPECT_EQ(window->START1->isChecked(), connected);
        EXPECT_EQ(window->START1->isEnabled(), !connected);
        EXPECT_EQ(window->STOP1->isEnabled(), connected);
        EXPECT_EQ(window->STOP1->isChecked(), !connected);
        EXPECT_EQ(window->BTCon->isHidden(), connected);
        EXPECT_EQ(window->BtDiscon->isHidden(), !connected);
        EXPECT_EQ(window->BtCOM1->isEnabled(), !connected);
    }
};

TEST_F(SerialLinkFixture, ComConnectDownAndUpOpensAndClosesThePort) {
    window->COMCon->click();
    ExpectState(true);
    EXPECT_EQ(serial.line->opened, std::vector<std::string>{"/dev/ttyFAKE0"});
    EXPECT_EQ(serial.line->programmed.back().BaudRate, 19200);
    window->COMCon->click();
    ExpectState(false);
    EXPECT_EQ(serial.line->closes, 1);
    window->BTCon1Click();
    ExpectState(true);
    window->BtDiscon1Click();
    ExpectState(false);
}

TEST_F(SerialLinkFixture, PortPanelStepsThroughFourPortsBackToCom1) {
    const std::vector<QAction*> items{window->COM11, window->COM21, window->COM31, window->COM41};
    const std::vector<PanelButton*> panels{window->BtCOM1, window->BtCOM2, window->BtCOM3,
                                           window->BtCOM4};
    for (int click = 1; click <= 4; ++click) {
        for (PanelButton* panel : panels) {
            if (!panel->isHidden()) {
                Q_EMIT panel->clicked();
                break;
            }
        }
        const std::size_t chosen = static_cast<std::size_t>(click % 4);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(items[i]->isChecked(), i == chosen) << click;
            EXPECT_EQ(!panels[i]->isHidden(), i == chosen) << click;
        }
        EXPECT_EQ(window->comm2().ComPort(), static_cast<link::TComPortNumber>(chosen));
    }
    EXPECT_EQ(window->BtCOM1->toolTip(), QStringLiteral("/dev/ttyFAKE0"));
}

TEST_F(SerialLinkFixture, IndicatorFollowsFramesAndTheWatch) {
    auto& comm2 = window->comm2();
    const std::vector<std::uint8_t> frame{0x0A, 0x31, 0x31, 0x32, 0x33, 0x34,
                                          0x3B, 0x30, 0x30, 0x3A, 0x0D};
    EXPECT_FALSE(window->CONokN->isHidden());
    comm2.OnReceiveData(comm2, frame.data(), static_cast<std::int32_t>(frame.size()));
    EXPECT_FALSE(window->CONok->isHidden());
    EXPECT_TRUE(window->CONokN->isHidden());
    // Two watch ticks (200 ms) keep it; the third turns it back.
    window->ConTimerTimer();
    window->ConTimerTimer();
    EXPECT_FALSE(window->CONok->isHidden());
    window->ConTimerTimer();
    EXPECT_TRUE(window->CONok->isHidden());
    EXPECT_FALSE(window->CONokN->isHidden());
    EXPECT_EQ(window->state().LinkIdleTicks, 0);
    // Frames every other tick keep the indicator on.
    for (int i = 0; i < 10; ++i) {
        comm2.OnReceiveData(comm2, frame.data(), static_cast<std::int32_t>(frame.size()));
        window->ConTimerTimer();
        window->ConTimerTimer();
        EXPECT_FALSE(window->CONok->isHidden()) << i;
    }
}

TEST_F(SerialLinkFixture, PortThatDoesNotOpenIsReportedAndLeftDisconnected) {
    serial.line->nextOpen = {link::OpenFailure::PermissionDenied, "Permission denied"};
    QString text;
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    window->COMCon->click();
    EXPECT_THAT(text.toStdString(), ::testing::HasSubstr("COM1 (/dev/ttyFAKE0)"));
    EXPECT_THAT(text.toStdString(), ::testing::HasSubstr("dialout"));
    EXPECT_FALSE(window->COMCon->isChecked());
    ExpectState(false);
}

TEST_F(SerialLinkFixture, VanishedPortIsWaitedForUntilItIsBackOrTheUserStops) {
    // A path that exists stands for the adapter's device node.
    const std::string node = ::testing::TempDir() + "md_ttyFAKE_" + std::to_string(::getpid());
    std::ofstream(node) << "";
    serial.directory->paths["COM1"] = node;
    window->COMCon->click();
    ASSERT_TRUE(window->comm2().IsOpen());
    const auto vanish = [this] {
        serial.line->gone = true;
        serial.timer->tick(); // the poll finds it gone
        serial.line->gone = false;
    };
    vanish();
    EXPECT_FALSE(window->comm2().IsOpen());
    EXPECT_TRUE(window->COMCon->isChecked());
    EXPECT_FALSE(window->BtCOM1->isEnabled()); // the connected state stays
    EXPECT_FALSE(window->CONokN->isHidden());
    EXPECT_FALSE(window->CONokN->isEnabled());
    EXPECT_THAT(window->CONokN->toolTip().toStdString(),
                ::testing::HasSubstr("COM1 (" + node + ") has gone away"));
    serial.timer->tick(); // the retry finds it back
    EXPECT_TRUE(window->comm2().IsOpen());
    EXPECT_TRUE(window->CONokN->isEnabled());
    EXPECT_EQ(serial.line->opened, (std::vector<std::string>{node, node}));
    ExpectState(true);
    QTest::qWait(200); // the trace is written at the view refresh
    const QString trace = window->Memo1->toPlainText();
    EXPECT_TRUE(trace.contains(QStringLiteral("has gone away")));
    EXPECT_TRUE(trace.contains(QStringLiteral("is back")));

    // Gone again, for good: "COM Connect" ends the wait.
    vanish();
    std::filesystem::remove(node);
    window->COMCon->click();
    EXPECT_FALSE(window->COMCon->isChecked());
    EXPECT_TRUE(window->CONokN->isEnabled());
    EXPECT_FALSE(serial.timer->active);
    serial.timer->tick();
    EXPECT_EQ(serial.line->opened.size(), 2U);
}

} // namespace
} // namespace meterdesk::app

namespace meterdesk::app {
namespace {

// The demo as a person uses it: a virtual meter on COM1, "COM Connect", and
// live readings on the replica.
TEST(DemoMode, ComConnectShowsTheVirtualMetersReadings) {
    DemoMeter demo;
    auto ports =
        std::make_shared<link::ListedPortDirectory>([] { return std::vector<std::string>{}; });
    ports->Override("COM1", demo.DevicePath());
    InstallFontSubstitutes();
    TFCOMM window(std::make_unique<base::FixedLocale>(), base::kBuildProfile,
                  link::MakeQtSerialPlatform(ports));
    window.ShowCentred();
    window.COMCon->click();
    ASSERT_TRUE(window.comm2().IsOpen());
    QElapsedTimer waited;
    waited.start();
    while (window.state().ReadingValue.empty() && waited.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(window.state().ReadingUnit, "V");
    EXPECT_EQ(window.state().ReadingCoupling, "DC");
    EXPECT_FALSE(window.CONok->isHidden());
    window.grab().save(QStringLiteral(QT_TESTCASE_BUILDDIR "/window_demo.png"));
}

} // namespace
} // namespace meterdesk::app
