// Scope: the window as laid out: controls, menu, timers, scrolling, exit, the
// start-up it runs, and the frame trace.
#include "app/Controls.h"
#include "app/HeronF.h"
#include "decode/ui/LcdPanel.h"
#include "tests/support/DecodingChain.h"
#include "tests/support/TestWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace meterdesk::app {
namespace {

std::unique_ptr<TFCOMM> MakeWindow(base::ModelProfile profile = base::kBuildProfile) {
    return testing::MakeTestWindow(profile);
}

QWidget* Control(TFCOMM& window, const char* name) {
    auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

QString CaptionOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* panel = qobject_cast<PanelButton*>(widget)) {
        return panel->caption();
    }
    return {};
}

struct ControlCase {
    const char* name;
    QRect geometry;
    bool shown;
    const char* caption; // nullptr: not checked
};

void PrintTo(const ControlCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowControl : public ::testing::TestWithParam<ControlCase> {
protected:
    static void SetUpTestSuite() { window = MakeWindow().release(); }
    static void TearDownTestSuite() { delete window; }
    static TFCOMM* window;
};
TFCOMM* WindowControl::window = nullptr;

TEST_P(WindowControl, HasItsGeometryVisibilityAndCaption) {
    const ControlCase& c = GetParam();
    QWidget* widget = Control(*window, c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), c.geometry);
    EXPECT_EQ(!widget->isHidden(), c.shown);
    if (c.caption != nullptr) {
        EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(c.caption));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layout, WindowControl,
    ::testing::Values(ControlCase{"BtCOM1", {5, 3, 61, 24}, true, "COM 1"},
                      ControlCase{"BtCOM2", {5, 3, 61, 24}, false, "COM 2"},
                      ControlCase{"BtCOM3", {5, 3, 61, 24}, false, "COM 3"},
                      ControlCase{"BtCOM4", {5, 3, 61, 24}, false, "COM 4"},
                      ControlCase{"COMCon", {68, 4, 94, 25}, true, "COM Connect"},
                      ControlCase{"USBCon", {170, 4, 94, 25}, true, "USB Connect"},
                      ControlCase{"BitBtn1", {552, 3, 57, 25}, true, "Exit"},
                      ControlCase{"Panel1", {3, 31, 285, 138}, true, nullptr},
                      ControlCase{"PBar2", {3, 169, 284, 12}, true, nullptr},
                      ControlCase{"RepeatSet", {3, 186, 54, 20}, true, "Repeat"},
                      ControlCase{
                          "RecordSI", {57, 186, 143, 20}, true, "Sampling Interval           'S"},
                      ControlCase{"RecordSITime", {159, 186, 27, 21}, true, "1"},
                      ControlCase{"RecordNew", {200, 186, 23, 21}, true, nullptr},
                      ControlCase{"OpenDataFiles", {222, 186, 23, 21}, true, nullptr},
                      ControlCase{"saveas", {244, 186, 23, 21}, true, nullptr},
                      ControlCase{"BtPrint", {266, 186, 22, 21}, true, nullptr},
                      ControlCase{"DBGrid1", {3, 208, 284, 196}, true, nullptr},
                      ControlCase{"Panel4", {289, 32, 329, 137}, true, nullptr},
                      ControlCase{"T1HI", {88, 32, 81, 21}, true, "6000"},
                      ControlCase{"T1VALUE", {88, 62, 81, 21}, true, "0"},
                      ControlCase{"T1LO", {88, 92, 81, 21}, true, "-6000"},
                      ControlCase{"judge", {237, 56, 65, 29}, true, ""},
                      ControlCase{"CONokN", {293, 9, 25, 24}, true, nullptr},
                      ControlCase{"CONok", {293, 9, 25, 24}, false, nullptr},
                      ControlCase{"Chtshow", {288, 171, 329, 233}, true, nullptr},
                      ControlCase{"BtFill", {5, 5, 36, 17}, true, "Fill"},
                      ControlCase{"Maxrecord", {48, 3, 41, 21}, true, "100"},
                      ControlCase{"Bt10", {211, 3, 25, 21}, true, "1"},
                      ControlCase{"TbFd", {288, 3, 25, 25}, true, nullptr},
                      ControlCase{"TbSx", {288, 3, 25, 25}, false, nullptr},
                      ControlCase{"KD", {290, 88, 0, 0}, false, nullptr},
                      ControlCase{"Panel3", {19, 527, 285, 56}, false, nullptr},
                      ControlCase{"Setmax", {208, 3, 65, 21}, true, "4000"},
                      ControlCase{"SetMin", {208, 26, 65, 21}, true, "-4000"},
                      ControlCase{"MinText", {48, 9, 32, 16}, true, "4001"},
                      ControlCase{"MaxText", {48, 29, 37, 16}, true, "-4001"},
                      ControlCase{"BTCon", {40, 506, 105, 26}, true, "Connect"},
                      ControlCase{"BtDiscon", {40, 506, 105, 26}, false, "Disconnect"},
                      ControlCase{"BtExit", {48, 546, 65, 26}, true, "Exit"},
                      ControlCase{"IFOsprey", {184, 440, 97, 17}, false, "Osprey"},
                      ControlCase{"IFPlover", {184, 560, 97, 17}, true, "Plover"},
                      ControlCase{"IFTern", {272, 440, 97, 17}, true, "IFTern"},
                      ControlCase{"IFIbis", {272, 560, 97, 17}, true, "IFIbis"},
                      ControlCase{"Kite", {368, 432, 97, 17}, true, "Kite"},
                      ControlCase{"Crane", {368, 464, 97, 17}, true, "Crane"},
                      ControlCase{"SetFeature", {968, 376, 81, 25}, true, "SetFeature"},
                      ControlCase{"ReadBtn", {656, 355, 81, 22}, true, "Read"},
                      ControlCase{"ClearBtn", {744, 188, 81, 22}, true, "Clear"},
                      ControlCase{"InfoBtn", {752, 164, 57, 22}, true, "Info"},
                      ControlCase{"DevListBox", {728, 432, 5, 25}, true, nullptr},
                      ControlCase{"HistoryListBox", {608, 480, 5, 3}, true, nullptr},
                      ControlCase{"Memo1", {312, 567, 305, 41}, false, nullptr},
                      ControlCase{"Print", {112, 447, 23, 22}, false, nullptr}),
    [](const ::testing::TestParamInfo<ControlCase>& param) {
        return std::string(param.param.name);
    });

TEST(MainWindow, ProfileFlagsFollowTheBuildProfile) {
    auto window = MakeWindow();
    EXPECT_TRUE(window->IFOsprey->isChecked());
    for (QCheckBox* flag : {window->IFWren, window->Kite, window->IFHeron, window->IFFinch,
                            window->IFPlover, window->IFTern, window->IFLark, window->Crane}) {
        EXPECT_FALSE(flag->isChecked()) << flag->objectName().toStdString();
    }
}

TEST(MainWindow, OnlyRecordMenuIsShownWithTenThousandChecked) {
    auto window = MakeWindow();
    QStringList shown;
    for (QAction* action : window->menuBar()->actions()) {
        if (action->isVisible()) {
            shown << action->text();
        }
    }
    EXPECT_EQ(shown, QStringList{QStringLiteral("Record")});
    QStringList items;
    for (QAction* action : window->Record1->actions()) {
        if (action->isVisible()) {
            items << action->text() + (action->isChecked() ? QStringLiteral("*") : QString());
        }
    }
    EXPECT_EQ(items, (QStringList{"1000", "5000", "10000*", "50000", "100000", "limitless"}));
    EXPECT_TRUE(window->COM11->isChecked());
    EXPECT_FALSE(window->STOP1->isEnabled());
    EXPECT_FALSE(window->New1->isVisible());
}

TEST(MainWindow, TimersStartWithTheirIntervals) {
    auto window = MakeWindow();
    const std::vector<std::tuple<QTimer*, int, bool>> timers{{window->ConTimer, 100, true},
                                                             {window->Trecord, 1000, true},
                                                             {window->Timer2, 2000, true},
                                                             {window->Timer4, 2000, false},
                                                             {window->Timer5, 2000, false}};
    for (const auto& [timer, interval, active] : timers) {
        EXPECT_EQ(timer->interval(), interval) << timer->objectName().toStdString();
        EXPECT_EQ(timer->isActive(), active) << timer->objectName().toStdString();
    }
}

TEST(MainWindow, FixedClientAreaScrollsToTheControlsBeyondIt) {
    auto window = MakeWindow();
    window->ShowCentred();
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(window->centralWidget()->size(), QSize(620, 407));
    // SetFeature reaches furthest right (968 + 81), the bottom flags furthest down.
    EXPECT_EQ(window->client->size(), QSize(1049, 577));
    QScrollArea* area = window->scrollBox;
    area->ensureWidgetVisible(window->SetFeature);
    EXPECT_GT(area->horizontalScrollBar()->value(), 0);
    area->ensureWidgetVisible(window->BtExit);
    EXPECT_GT(area->verticalScrollBar()->value(), 0);
}

TEST(MainWindow, ExitQuestionNoKeepsTheWindowYesClosesIt) {
    auto window = MakeWindow();
    window->ShowCentred();
    const auto answer = testing::AnswerNextMessageBox;
    QString asked;
    answer(QMessageBox::No, &asked);
    window->BitBtn1Click();
    EXPECT_EQ(asked, QString::fromUtf8("Are you ensure to exit the program\xEF\xBC\x9F"));
    EXPECT_TRUE(window->isVisible());
    answer(QMessageBox::Yes, &asked);
    window->BitBtn1Click();
    EXPECT_FALSE(window->isVisible());
}

TEST(MainWindow, ExitPanelClosesWithoutQuestion) {
    auto window = MakeWindow();
    window->ShowCentred();
    window->BtExit1Click();
    EXPECT_FALSE(window->isVisible());
}

struct ProfileCase {
    const char* name;
    base::ModelProfile profile;
    const char* caption;
    int baud;
    const char* firstDigit;
    std::array<const char*, 4> texts; // Setmax, SetMin, MinText, MaxText
};

class WindowStartUp : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(WindowStartUp, AppliesProfileToCaptionSpeedHandlerAndTexts) {
    const ProfileCase& c = GetParam();
    auto window = MakeWindow(c.profile);
    EXPECT_EQ(window->windowTitle(), QString::fromLatin1(c.caption));
    EXPECT_EQ(link::BitRate(window->comm2().ComPortSpeed()), c.baud);
    EXPECT_EQ(window->panelState().digitCaptions[0], c.firstDigit);
    EXPECT_EQ(window->Setmax->text(), c.texts[0]);
    EXPECT_EQ(window->SetMin->text(), c.texts[1]);
    EXPECT_EQ(window->MinText->text(), c.texts[2]);
    EXPECT_EQ(window->MaxText->text(), c.texts[3]);
    // The bound handler shows in what the same bytes do.
    const std::vector<std::uint8_t> bytes{0x0A, 0x31, 0x31, 0x32, 0x33, 0x34,
                                          0x3B, 0x30, 0x30, 0x3A, 0x0D, 0xE5};
    auto& comm2 = window->comm2();
    if (comm2.OnReceiveData) {
        comm2.OnReceiveData(comm2, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    EXPECT_EQ(window->state().FrameText, c.profile.IFOsprey || c.profile.IFFinch || c.profile.IFTern
                                             ? "A11234B00AD"
                                         : c.profile.IFWren ? "A11234B00AD5"
                                                            : "");
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, WindowStartUp,
    ::testing::Values(ProfileCase{"Osprey",
                                  {.IFOsprey = true},
                                  "Osprey Interface Program Ver: 3.10",
                                  19200,
                                  "5",
                                  {"4000", "-4000", "4001", "-4001"}},
                      ProfileCase{"WrenOsprey",
                                  {.IFWren = true, .IFOsprey = true},
                                  "Osprey Interface Program Ver: 3.10",
                                  19200,
                                  "3",
                                  {"4000", "-4000", "4001", "-4001"}},
                      ProfileCase{"Finch",
                                  {.IFFinch = true},
                                  "Finch Interface Program _Ver: 2.06",
                                  2400,
                                  "5",
                                  {"3400", "-3400", "3401", "-3401"}},
                      ProfileCase{"Tern",
                                  {.IFTern = true},
                                  "Tern Interface Program _Ver: 1.00",
                                  2400,
                                  "5",
                                  {"6000", "-6000", "6001", "-6001"}},
                      ProfileCase{"Wren",
                                  {.IFWren = true},
                                  "OEM Merlin Interface Program _Ver: 2.00",
                                  2400,
                                  "3",
                                  {"4000", "-4000", "4001", "-4001"}},
                      ProfileCase{"None", {}, "", 2400, "5", {"4000", "-4000", "4001", "-4001"}}),
    [](const ::testing::TestParamInfo<ProfileCase>& param) {
        return std::string(param.param.name);
    });

TEST(MainWindow, DecodedFramesAreTracedAndTheTraceIsBounded) {
    auto window = MakeWindow();
    const std::vector<std::uint8_t> frame{0x31, 0x31, 0x32, 0x33, 0x34, 0x3B,
                                          0x30, 0x30, 0x3A, 0x0D, 0x0A};
    std::vector<std::uint8_t> line{0x0A};
    for (int i = 0; i < 1200; ++i) {
        line.insert(line.end(), frame.begin(), frame.end());
    }
    auto& comm2 = window->comm2();
    comm2.OnReceiveData(comm2, line.data(), static_cast<std::int32_t>(line.size()));
    EXPECT_EQ(window->Memo1->document()->blockCount(), 1); // until the view refresh
    window->ViewRefreshTimer();
    EXPECT_EQ(window->Memo1->document()->blockCount(), 1000);
    EXPECT_EQ(window->Memo1->document()->lastBlock().text(), QStringLiteral("A11234B00AD"));
    EXPECT_EQ(window->PBar2->value(), 12);
}

// Renders the window after each worked-example frame; the replica in it
// must be the frame's own panel, drawn apart from the window. The pictures
// stay in the build tree for a person to look at.
TEST(MainWindow, RendersWorkedExamplesForInspection) {
    auto window = MakeWindow();
    window->ShowCentred();
    auto& comm2 = window->comm2();
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> frames{
        {"negative_volts", {0x0A, 0x31, 0x31, 0x32, 0x33, 0x34, 0x3B, 0x34, 0x30, 0x3A, 0x0D}},
        {"overload_kohm", {0x0A, 0x32, 0x30, 0x30, 0x30, 0x30, 0x33, 0x31, 0x30, 0x32, 0x0D}}};
    const QDir out(QStringLiteral(QT_TESTCASE_BUILDDIR));
    const QRect replica(window->Panel1->mapTo(window.get(), QPoint(0, 0)), window->Panel1->size());
    QImage before = window->grab().toImage().copy(replica);
    for (const auto& [name, bytes] : frames) {
        comm2.OnReceiveData(comm2, bytes.data(), static_cast<std::int32_t>(bytes.size()));
        window->ViewRefreshTimer();
        const QImage image = window->grab().toImage();
        const QString path = out.filePath(QStringLiteral("window_%1.png").arg(QLatin1String(name)));
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        ASSERT_EQ(image.size(), window->size());

        testing::DecodingChain chain;
        chain.FeedSerial(bytes);
        decode::LcdPanel expected(chain.panel);
        expected.setFont(window->Panel1->font());
        const QImage shown = image.copy(replica);
        EXPECT_EQ(shown, expected.grab().toImage().convertToFormat(shown.format())) << name;
        EXPECT_NE(shown, before) << name; // each frame changes the glass
        before = shown;
    }
}

} // namespace
} // namespace meterdesk::app
