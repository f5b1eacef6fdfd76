// Scope: the log in the window: the grid's model and how its cells look,
// the chart and judge after each row, the new-log question and the
// row-limit menu.
#include "chart/ui/QtChartSurface.h"
#include "record/ui/MeasurementModel.h"
#include "tests/support/TestWindow.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>

#include <gtest/gtest.h>

namespace meterdesk::app {
namespace {

using testing::AnswerNextMessageBox;

struct LogWindow : ::testing::Test {
    std::unique_ptr<TFCOMM> window = testing::MakeTestWindow();

    void Frame(const char* frameText) {
        window->state().FrameText = frameText;
        window->decoder().LcdDisplayHeron();
    }
};

TEST_F(LogWindow, EveryFrameBecomesARowTheGridFollows) {
    QAbstractItemModel* model = window->DBGrid1->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    Frame("A11234B40AD");
    Frame("A200003102D");
    EXPECT_EQ(window->table().RowCount(), 2U);
    EXPECT_EQ(model->rowCount(), 0); // the grid takes new rows at its next refresh
    window->ViewRefreshTimer();
    ASSERT_EQ(model->rowCount(), 2);
    ASSERT_EQ(inserted.count(), 1); // both rows in one insertion
    EXPECT_EQ(inserted.front().value(1).toInt(), 0);
    EXPECT_EQ(inserted.front().value(2).toInt(), 1);
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("DC/AC"));
    EXPECT_EQ(model->index(0, 3).data().toString(), QStringLiteral("-12.34"));
    EXPECT_EQ(model->index(1, 4).data().toString(), QStringLiteral("k*"));
    EXPECT_EQ(model->index(1, 0).data().toInt(), 2);
    EXPECT_EQ(window->DBGrid1->currentIndex().row(), 1);
    EXPECT_EQ(window->chartSurface()->ValueCount(), 3U);      // the origin and two readings
    EXPECT_EQ(window->judge->text(), QStringLiteral("Fail")); // overload
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("1"));
}

TEST_F(LogWindow, PlainCellsLookExactlyAsTheStyleWouldDrawThem) {
    // Every column's alignment, a value too wide for its column (the style
    // elides it) and the current row, selected.
    for (int i = 0; i < 12; ++i) {
        window->table().Append({i + 1, "08:00:" + std::to_string(10 + i), i % 3 ? "DC" : "AC",
                                i == 5 ? "10.700" : std::to_string(i) + ".125", "V",
                                i % 4 ? "AUTO" : "MANU"});
    }
    window->ViewRefreshTimer();
    QTableView& grid = *window->DBGrid1;
    const QImage drawn = grid.grab().toImage();
    QAbstractItemDelegate* plain = grid.itemDelegate();
    QStyledItemDelegate styled;
    grid.setItemDelegate(&styled);
    const QImage drawnByStyle = grid.grab().toImage();
    grid.setItemDelegate(plain);
    ASSERT_FALSE(drawn.isNull());
    EXPECT_EQ(drawn, drawnByStyle);
}

TEST_F(LogWindow, AtTheLimitChartAndJudgeStopWhileThePanelGoesOn) {
    window->N10001->trigger();
    window->state().RecordLimit = 1;
    Frame("A11234B00AD");
    Frame("A11111B40AD");
    EXPECT_EQ(window->table().RowCount(), 1U);
    window->ViewRefreshTimer();
    EXPECT_EQ(window->T1VALUE->text(), QStringLiteral("12.34"));
    EXPECT_EQ(window->chartSurface()->ValueCount(), 2U);
    EXPECT_EQ(window->panelState().digitCaptions[3], "1"); // the replica still follows
}

TEST_F(LogWindow, NewLogAsksAndOnlyYesClears) {
    QAbstractItemModel* model = window->DBGrid1->model();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    Frame("A11234B00AD"); // still waiting for the grid when the log is cleared
    AnswerNextMessageBox(QMessageBox::No, nullptr);
    window->RecordNewClick();
    EXPECT_EQ(window->table().RowCount(), 1U);
    QString asked;
    AnswerNextMessageBox(QMessageBox::Yes, &asked);
    window->BtNew->click();
    EXPECT_EQ(asked, QStringLiteral("Do you want to delete this record?"));
    EXPECT_TRUE(window->table().Empty());
    EXPECT_EQ(window->state().NextRecordNo, 1);
    EXPECT_EQ(window->chartSurface()->ValueCount(), 1U);
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("1"));
    window->ViewRefreshTimer();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(LogWindow, RowLimitMenuChecksOneItem) {
    window->limitess->trigger();
    EXPECT_EQ(window->state().RecordLimit, 10'000'000);
    EXPECT_TRUE(window->limitess->isChecked());
    EXPECT_FALSE(window->N100001->isChecked());
    window->N50001->trigger();
    EXPECT_EQ(window->state().RecordLimit, 5000);
    EXPECT_FALSE(window->limitess->isChecked());
}

} // namespace
} // namespace meterdesk::app
