// Scope: the chart, scale and limits as the window wires them: start-up
// axis, page-size box, fill, enlarge and restore, the alarm boxes, the judge
// limits' repair and the verdict's look.
#include "chart/ui/QtChartSurface.h"
#include "tests/support/TestWindow.h"

#include <QAreaSeries>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace meterdesk::app {
namespace {

using testing::AnswerNextMessageBox;
using testing::MakeTestWindow;

struct ChartWindow : ::testing::Test {
    std::unique_ptr<TFCOMM> window = MakeTestWindow();
    chart::QtChartSurface& surface = *window->chartSurface();
};

TEST_F(ChartWindow, StartUpSetsTheValueAxisAndTheDecoderMovesIt) {
    surface.RefreshNow(); // the axes follow at the chart's refresh
    EXPECT_EQ(surface.ValueAxis()->min(), -4000);
    EXPECT_EQ(surface.ValueAxis()->max(), 4000);
    window->state().FrameText = "A11234B40AD";
    window->decoder().LcdDisplayHeron();
    surface.RefreshNow();
    EXPECT_EQ(surface.ValueAxis()->min(), -60);
    EXPECT_EQ(surface.ValueAxis()->max(), 60);
    EXPECT_EQ(window->MaxText->text(), QString());
    EXPECT_EQ(window->MaxTextU->text(), QStringLiteral("V"));
}

TEST_F(ChartWindow, PageSizeBoxFallsBackTo100AndResizesPages) {
    for (int i = 0; i < 120; ++i) {
        window->chartControl()->AddPoint(i);
    }
    for (const char* bad : {"", "-5", "0"}) {
        window->Maxrecord->setText(QString::fromLatin1(bad));
        EXPECT_TRUE(window->Timer2->isActive());
        window->Timer2Timer();
        EXPECT_EQ(window->Maxrecord->text(), QStringLiteral("100")) << bad;
        EXPECT_FALSE(window->Timer2->isActive());
    }
    window->Maxrecord->setText(QStringLiteral("50"));
    window->Timer2Timer();
    EXPECT_EQ(window->chartControl()->PageSize, 50);
    EXPECT_EQ(window->chartControl()->CurrentPage, 3);
    surface.RefreshNow();
    EXPECT_EQ(surface.BottomAxis()->min(), 101);
    EXPECT_EQ(surface.BottomAxis()->max(), 150);
    EXPECT_EQ(surface.LineSeries()->count(), 21); // X 100..120
}

TEST_F(ChartWindow, ASteadyStreamOfPointsStillMovesTheChart) {
    // Points come every 30 ms, faster than the chart refreshes: a refresh
    // that each point pushed back would never come while the stream lasts.
    QSignalSpy refreshed(surface.LineSeries(), &QXYSeries::pointsReplaced);
    int added = 0;
    for (; added < 130; ++added) { // past the first page: the axis shifts too
        window->chartControl()->AddPoint(added);
    }
    QTimer stream;
    stream.setInterval(30);
    QObject::connect(&stream, &QTimer::timeout, window.get(),
                     [&] { window->chartControl()->AddPoint(added++); });
    stream.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return refreshed.count() >= 1; }, 5000));
    stream.stop();
    EXPECT_GT(added, 130); // the stream was running meanwhile
    EXPECT_GT(surface.BottomAxis()->max(), 100);
}

TEST_F(ChartWindow, ALoneSpikeOnAMillionPointPageReachesBothSeries) {
    window->Maxrecord->setText(QStringLiteral("1000000"));
    window->Timer2Timer();
    for (int i = 1; i < 1'000'000; ++i) {
        window->chartControl()->AddPoint(i == 654'321 ? 3999.0 : 1200.0 + i % 7);
    }
    surface.RefreshNow();
    const QPointF spike(654'321, 3999);
    EXPECT_TRUE(surface.LineSeries()->points().contains(spike));
    EXPECT_TRUE(surface.AreaSeries()->upperSeries()->points().contains(spike));
    EXPECT_LT(surface.LineSeries()->count(), 2000); // thinned to the page's columns
}

TEST_F(ChartWindow, FillHidesOnlyTheArea) {
    window->BtFill->click();
    EXPECT_FALSE(surface.AreaSeries()->isVisible());
    EXPECT_TRUE(surface.LineSeries()->isVisible());
    window->BtFill->click();
    EXPECT_TRUE(surface.AreaSeries()->isVisible());
}

TEST_F(ChartWindow, EnlargeAndRestore) {
    window->ShowCentred();
    window->TbFdClick();
    EXPECT_EQ(window->Chtshow->pos(), QPoint(2, 28));
    EXPECT_TRUE(window->Panel4->isHidden());
    EXPECT_TRUE(window->TbFd->isHidden());
    EXPECT_FALSE(window->TbSx->isHidden());
    window->TbFdClick();
    EXPECT_EQ(window->Chtshow->geometry(), QRect(288, 171, 329, 233));
    EXPECT_FALSE(window->Panel4->isHidden());
    EXPECT_FALSE(window->TbFd->isHidden());
}

TEST_F(ChartWindow, PageButtonsShowThePageOnBt10) {
    for (int i = 0; i < 250; ++i) {
        window->chartControl()->AddPoint(i);
    }
    window->BtFirst->click();
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("1"));
    window->BtNext->click();
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("2"));
    window->BTlast->click();
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("3"));
    window->BTPrevious->click();
    EXPECT_EQ(window->Bt10->text(), QStringLiteral("2"));
}

TEST_F(ChartWindow, AlarmBoxesSetTheLimitsOrSayWhyNot) {
    window->Setmax->setText(QStringLiteral("+50"));
    EXPECT_EQ(window->state().AlarmHigh, 50.0F);
    window->SetMin->setText(QStringLiteral("-"));
    EXPECT_EQ(window->state().AlarmLow, 0.0F);
    QString message;
    AnswerNextMessageBox(QMessageBox::Ok, &message);
    window->Setmax->setText(QStringLiteral("4-"));
    EXPECT_EQ(message, QStringLiteral("'4-' is not a valid integer value"));
    EXPECT_EQ(window->state().AlarmHigh, 50.0F);
}

TEST_F(ChartWindow, JudgeLimitsAreRepairedAfterTheirTimer) {
    window->T1HI->setText(QString());
    EXPECT_TRUE(window->Timer4->isActive());
    window->Timer4Timer();
    EXPECT_EQ(window->T1HI->text(), QStringLiteral("5999"));
    window->T1LO->setText(QStringLiteral("-"));
    window->Timer5Timer();
    EXPECT_EQ(window->T1LO->text(), QStringLiteral("-5999"));
    EXPECT_EQ(window->T1HI->text(), QStringLiteral("5999"));
}

TEST_F(ChartWindow, VerdictColoursTheJudgePanel) {
    window->state().ReadingValue = "12.34";
    window->JudgeStep();
    window->ViewRefreshTimer(); // the value and its verdict show together
    EXPECT_EQ(window->judge->text(), QStringLiteral("Pass"));
    EXPECT_EQ(window->T1VALUE->text(), QStringLiteral("12.34"));
    EXPECT_EQ(window->judge->palette().color(QPalette::Window), QColor(0, 128, 0));
    window->state().ReadingValue = "-0.L";
    window->JudgeStep();
    EXPECT_EQ(window->judge->text(), QStringLiteral("Pass")); // until the refresh
    window->ViewRefreshTimer();
    EXPECT_EQ(window->judge->text(), QStringLiteral("Fail"));
    EXPECT_EQ(window->T1VALUE->text(), QStringLiteral("-0.L"));
    EXPECT_EQ(window->T1VALUE->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_THAT(window->Shape1->styleSheet().toStdString(), ::testing::HasSubstr("#ff0000"));
}

// Line bytes of one frame: 12.34 V, or -12.34 V with the minus sign.
std::vector<std::uint8_t> VoltsFrame(bool negative) {
    return {0x0A, 0x31, 0x31, 0x32,
            0x33, 0x34, 0x3B, negative ? std::uint8_t{0x34} : std::uint8_t{0x30},
            0x30, 0x3A, 0x0D};
}

TEST_F(ChartWindow, TheVerdictAlwaysStandsBesideTheValueItJudged) {
    // Every frame at line rate crosses the high limit: whenever the panel
    // can be seen, its colours must be those of the value it shows.
    window->T1HI->setText(QStringLiteral("10"));
    window->Timer4->stop();
    QSignalSpy shown(window->T1VALUE, &QLineEdit::textChanged);
    int frames = 0;
    int looks = 0;
    QStringList mismatches;
    const auto check = [&] {
        if (shown.isEmpty()) {
            return; // nothing judged shown yet
        }
        ++looks;
        const QString value = window->T1VALUE->text();
        const bool pass = value.toDouble() <= 10;
        const QColor colour = pass ? QColor(0, 128, 0) : QColor(255, 0, 0);
        if (window->T1VALUE->palette().color(QPalette::Base) != colour ||
            window->judge->text() != (pass ? QStringLiteral("Pass") : QStringLiteral("Fail")) ||
            !window->Shape1->styleSheet().contains(colour.name())) {
            mismatches << value + QLatin1Char('/') + window->judge->text();
        }
    };
    QTimer line;
    line.setInterval(5); // about the meter's 174 frames a second
    QObject::connect(&line, &QTimer::timeout, window.get(), [&] {
        check(); // as the last pass of the event loop left it
        const std::vector<std::uint8_t> bytes = VoltsFrame(frames % 2 == 1);
        auto& comm2 = window->comm2();
        comm2.OnReceiveData(comm2, bytes.data(), static_cast<std::int32_t>(bytes.size()));
        ++frames;
        check();
    });
    line.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.count() >= 8; }, 10000));
    line.stop();
    EXPECT_GT(frames, shown.count()); // frames come faster than the views refresh
    EXPECT_TRUE(mismatches.isEmpty()) << mismatches.size() << " of " << looks << " looks, first "
                                      << mismatches.value(0).toStdString();
}

} // namespace
} // namespace meterdesk::app
