// Scope: what a user meets in the first minutes, by keyboard, mouse and eye:
// keys in the filtered boxes, clicks on the panels, the device line "USB
// Connect" acts on, colours, hints and signs, the interval message, the
// pager after a full page, the grid under the window's scroll bar, the row
// limit and a load told in the status text.
#include "app/FilePrompt.h"
#include "chart/ui/QtChartSurface.h"
#include "decode/ui/LcdPanel.h"
#include "tests/support/SimulatedDevices.h"
#include "tests/support/TestWindow.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace meterdesk::app {
namespace {

using testing::FakeSerialPlatform;
using testing::HidIdentity;

struct Window : ::testing::Test {
    std::unique_ptr<TFCOMM> window = testing::MakeTestWindow();

    void Frame(const char* frameText) {
        window->state().FrameText = frameText;
        window->decoder().LcdDisplayHeron();
    }
    void Show() {
        window->ShowCentred();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
};

// Runs `action`, answering every message box it raises; returns their texts.
QStringList MessageBoxesDuring(const std::function<void()>& action) {
    QStringList texts;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &closer, [&texts] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start(5);
    action();
    QTest::qWait(30);
    return texts;
}

TEST_F(Window, FilteredBoxesPassNavigationAndEditingKeys) {
    Show();
    window->Panel3->show(); // the alarm boxes lie in the hidden limits panel
    for (QLineEdit* box : {window->RecordSITime, window->Maxrecord, window->Setmax, window->SetMin,
                           window->T1HI, window->T1LO}) {
        SCOPED_TRACE(box->objectName().toStdString());
        box->setFocus();
        ASSERT_TRUE(box->hasFocus());
        // Tab and Shift+Tab carry the tab character as their text.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QApplication::sendEvent(box, &tab);
        EXPECT_FALSE(box->hasFocus()); // focus moves on
        box->setFocus();
        QKeyEvent backTab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier,
                          QStringLiteral("\t"));
        QApplication::sendEvent(box, &backTab);
        EXPECT_FALSE(box->hasFocus());

        box->setFocus();
        box->setText(QStringLiteral("123"));
        QTest::keyClick(box, Qt::Key_Home);
        EXPECT_EQ(box->cursorPosition(), 0);
        QTest::keyClick(box, Qt::Key_Delete);
        EXPECT_EQ(box->text(), QStringLiteral("23"));
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_Backspace);
        EXPECT_EQ(box->text(), QStringLiteral("2"));
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("x7"));
        EXPECT_EQ(box->text(), QStringLiteral("7")); // typed characters are still filtered
        QSignalSpy returned(box, &QLineEdit::returnPressed);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(returned.count(), 1);
    }
}

TEST_F(Window, PanelsClickOnlyWithTheLeftButtonReleasedInside) {
    Show();
    QTest::mouseClick(window->BtCOM1, Qt::RightButton);
    QTest::mouseClick(window->BtCOM1, Qt::MiddleButton);
    EXPECT_TRUE(window->COM11->isChecked());
    EXPECT_FALSE(window->BtCOM1->isHidden());

    QTest::mousePress(window->BtCOM1, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(window->BtCOM1, Qt::LeftButton, {}, QPoint(-20, 5));
    EXPECT_TRUE(window->COM11->isChecked()); // released outside

    QTest::mouseClick(window->BtCOM1, Qt::LeftButton);
    EXPECT_TRUE(window->COM21->isChecked());

    QTest::mouseClick(window->BtExit, Qt::RightButton);
    EXPECT_TRUE(window->isVisible());
    QTest::mouseClick(window->BtExit, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
}

TEST(UsbConnectLine, AFocusedButUnselectedLineIsNotTheBridge) {
    auto bus = testing::MakeTestHidBus();
    auto keyboard = std::make_shared<sim::SimulatedHidDevice>(HidIdentity(u"Keyboard"));
    bus->Plug(keyboard);
    auto window = testing::MakeTestWindow(base::kBuildProfile, FakeSerialPlatform(), bus);
    window->ConTimer->stop();
    QApplication::processEvents();
    ASSERT_EQ(window->DevListBox->count(), 1);
    ASSERT_TRUE(window->DevListBox->selectedItems().isEmpty());
    // What keyboard focus does to a list without a current row.
    window->DevListBox->selectionModel()->setCurrentIndex(window->DevListBox->model()->index(0, 0),
                                                          QItemSelectionModel::NoUpdate);
    ASSERT_EQ(window->DevListBox->currentRow(), 0);

    const QStringList told = MessageBoxesDuring([&] { window->USBCon->click(); });
    EXPECT_EQ(told, QStringList{QString::fromLatin1(link::kCableNotConnected)});
    EXPECT_FALSE(window->USBCon->isChecked());
    EXPECT_TRUE(keyboard->FeatureReports().empty());
}

TEST_F(Window, ReplicaIsWhiteAndUsbConnectShowsNoHint) {
    EXPECT_TRUE(window->USBCon->toolTip().isEmpty());
    const QImage replica = window->Panel1->grab().toImage();
    const QRgb white = window->Panel1->palette().color(QPalette::Base).rgb();
    ASSERT_EQ(white, qRgb(255, 255, 255));
    int whitePixels = 0;
    for (int y = 0; y < replica.height(); ++y) {
        for (int x = 0; x < replica.width(); ++x) {
            whitePixels += replica.pixel(x, y) == white ? 1 : 0;
        }
    }
    EXPECT_GT(whitePixels, replica.width() * replica.height() / 2);
}

TEST_F(Window, MinMaxUnitsShowTheSymbolsTheyStandFor) {
    EXPECT_EQ(window->MinTextU->text(), QString::fromUtf8("\u03A9"));
    EXPECT_EQ(window->MaxTextU->text(), QString::fromUtf8("\u03A9"));
    Frame("A200003102D"); // overload on kilo-ohm
    EXPECT_EQ(window->MaxTextU->text(), QString::fromUtf8("k\u03A9"));
    EXPECT_LE(window->MaxTextU->sizeHint().width(), window->MaxTextU->width());
}

TEST_F(Window, EachNewBadIntervalTextIsToldOnce) {
    QLineEdit* box = window->RecordSITime;
    EXPECT_EQ(MessageBoxesDuring([&] { box->setText(QStringLiteral("x")); }).size(), 1);
    EXPECT_EQ(MessageBoxesDuring([&] {
                  Frame("A11234B00AD");
                  Frame("A11234B00AD");
              }).size(),
              0); // the same text is not told again for every reading
    EXPECT_EQ(MessageBoxesDuring([&] { box->setText(QString()); }).size(), 0);
    const QStringList again = MessageBoxesDuring([&] { box->setText(QStringLiteral("x")); });
    EXPECT_EQ(again, QStringList{QStringLiteral("'x' is not a valid integer value")});
}

TEST_F(Window, AfterAFullPagePagingBackShowsTheReadings) {
    for (int i = 0; i < 100; ++i) {
        Frame("A11234B00AD");
    }
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("1"));
    window->BTPrevious->click();
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("1"));
    EXPECT_EQ(window->chartSurface()->BottomMin(), 1.0);
    EXPECT_EQ(window->chartSurface()->BottomMax(), 100.0);
    window->BtNext->click();
    window->BTlast->click();
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("1"));
    EXPECT_EQ(window->chartSurface()->BottomMin(), 1.0);
}

TEST_F(Window, FollowedGridRowIsWholeAboveTheWindowsScrollBar) {
    Show();
    ASSERT_TRUE(window->scrollBox->horizontalScrollBar()->isVisible());
    for (int i = 0; i < 40; ++i) {
        Frame("A11234B00AD");
    }
    QTest::qWait(300); // the grid refresh
    QTableView* grid = window->DBGrid1;
    const QModelIndex last = grid->model()->index(grid->model()->rowCount() - 1, 0);
    ASSERT_EQ(grid->currentIndex().row(), 39);
    const QRect row = grid->visualRect(last);
    const QPoint top = grid->viewport()->mapTo(window->scrollBox->viewport(), row.topLeft());
    const QPoint bottom = grid->viewport()->mapTo(window->scrollBox->viewport(), row.bottomLeft());
    EXPECT_GE(top.y(), 0);
    EXPECT_LT(bottom.y(), window->scrollBox->viewport()->height());

    // Scrolled down, the whole grid is in sight at its laid-out size.
    window->scrollBox->verticalScrollBar()->setValue(
        window->scrollBox->verticalScrollBar()->maximum());
    QTest::qWait(50);
    EXPECT_EQ(grid->geometry(), QRect(3, 208, 284, 196));
}

TEST_F(Window, RowLimitIsToldOnceInTheStatusTextWithTheWayOn) {
    window->N10001->trigger();
    QSignalSpy told(window->statusBar(), &QStatusBar::messageChanged);
    const QStringList boxes = MessageBoxesDuring([&] {
        for (int i = 0; i < 1010; ++i) {
            Frame("A11234B00AD");
        }
    });
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(window->table().RowCount(), 1000U);
    EXPECT_EQ(told.count(), 1);
    const QString message = window->statusBar()->currentMessage();
    EXPECT_TRUE(message.contains(QStringLiteral("1000"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\"Record\" menu"))) << message.toStdString();

    window->N50001->trigger(); // a larger limit: the log goes on
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
    Frame("A11234B00AD");
    EXPECT_EQ(window->table().RowCount(), 1001U);
    window->N10001->trigger(); // below the rows logged: told again, with its number
    Frame("A11234B00AD");
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("1000")));
}

struct OneFilePrompt final : FilePrompt {
    QString name;
    std::optional<QString> Ask(QFileDialog&) override { return name; }
};

TEST_F(Window, OpenedFileGoesToItsFirstRowAndSaysHowManyCame) {
    Show();
    for (int i = 0; i < 40; ++i) {
        Frame("A11234B00AD");
    }
    QTest::qWait(300);
    ASSERT_EQ(window->DBGrid1->currentIndex().row(), 39);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("md_everyday_" + std::to_string(::getpid()) + ".txt");
    std::ofstream(file, std::ios::binary) << "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n"
                                             "7\t10:00:00\tDC\t1.000\tV\tAUTO\r\n"
                                             "8\t10:00:01\tDC\t1.001\tV\tAUTO\r\n"
                                             "9\t10:00:02\tDC\t1.002\tV\tAUTO\r\n";
    auto prompt = std::make_unique<OneFilePrompt>();
    prompt->name = QString::fromStdString(file.string());
    window->SetFilePrompt(std::move(prompt));
    window->OpenDataFilesClick();
    QTest::qWait(300);
    EXPECT_EQ(window->table().RowCount(), 43U);
    EXPECT_EQ(window->DBGrid1->currentIndex().row(), 40);
    const QRect first = window->DBGrid1->visualRect(window->DBGrid1->currentIndex());
    EXPECT_TRUE(window->DBGrid1->viewport()->rect().contains(first)); // in sight, whole
    EXPECT_EQ(window->statusBar()->currentMessage(),
              QStringLiteral("3 rows appended from ") +
                  QString::fromStdString(file.filename().string()));
    std::filesystem::remove(file);
}

} // namespace
} // namespace meterdesk::app
