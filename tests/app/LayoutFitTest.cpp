// Scope: the laid-out pixels against the fonts drawn in them: every caption
// and every cell of a realistic log shows whole, measured with the fonts'
// metrics at the controls' geometry; and pictures of the window at start,
// connected with a long log, and with the chart enlarged, for a person to
// look at, checked the same way.
#include "tests/support/TestWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyleOption>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace meterdesk::app {
namespace {

int Advance(const QWidget* widget, const QString& text) {
    return widget->fontMetrics().horizontalAdvance(text);
}

// Where a check box draws its caption.
QRect CaptionRect(const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
}

// Captions that do not fit where the layout puts them, one line each.
std::vector<std::string> ClippedCaptions(TFCOMM& window) {
    std::vector<std::string> clipped;
    const auto check = [&clipped](const QWidget* widget, const QString& text, int room) {
        const int needed = Advance(widget, text);
        if (widget->isVisibleTo(widget->window()) && needed > room) {
            clipped.push_back(widget->objectName().toStdString() + " \"" + text.toStdString() +
                              "\" needs " + std::to_string(needed) + " px, has " +
                              std::to_string(room));
        }
    };
    for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
        check(box, box->text(), CaptionRect(box).width());
    }
    // The interval's caption runs under its edit box: the words before it,
    // the "'S" unit after it.
    const QCheckBox* interval = window.RecordSI;
    const int boxLeft = window.RecordSITime->x() - interval->x();
    check(interval, QStringLiteral("Sampling Interval"), boxLeft - CaptionRect(interval).left());
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->pixmap().isNull() && label->objectName() != QLatin1String("judge")) {
            check(label, label->text(), label->contentsRect().width());
        }
    }
    for (const QString& verdict : {QStringLiteral("Pass"), QStringLiteral("Fail")}) {
        check(window.judge, verdict, window.judge->contentsRect().width());
    }
    for (const QToolButton* button : window.findChildren<QToolButton*>()) {
        if (button->toolButtonStyle() == Qt::ToolButtonTextOnly && !button->text().isEmpty()) {
            const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            check(button, button->text(), button->width() - 2 * frame);
        }
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option);
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        check(button, button->text(), button->width() - 2 * frame - icon);
    }
    for (const PanelButton* panel : window.findChildren<PanelButton*>()) {
        check(panel, panel->caption(), panel->contentsRect().width());
    }
    for (const QLineEdit* box : window.findChildren<QLineEdit*>()) {
        QStyleOptionFrame option;
        option.initFrom(box);
        const QRect text = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
        check(box, box->text(), text.width() - 4); // the edit's own side margins
    }
    const QHeaderView* titles = window.DBGrid1->horizontalHeader();
    const int titleMargin = titles->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int column = 0; column < titles->count(); ++column) {
        const QString title =
            window.DBGrid1->model()->headerData(column, Qt::Horizontal).toString();
        const int room = titles->sectionSize(column) - 2 * titleMargin;
        if (titles->fontMetrics().horizontalAdvance(title) > room) {
            clipped.push_back("title " + title.toStdString() + " has " + std::to_string(room));
        }
    }
    return clipped;
}

// The widest texts a log holds, column by column ("Unit" is painted with
// the symbols, narrower than the letters).
const std::vector<std::vector<QString>> kWidestCells{
    {QStringLiteral("10000000"), QStringLiteral("9999999")},
    {QStringLiteral("00:00:00"), QStringLiteral("23:59:58"), QStringLiteral("10:19:44")},
    {QStringLiteral("DC"), QStringLiteral("AC")},
    {QStringLiteral("-3999"), QStringLiteral("-39.99"), QStringLiteral("-0.L"),
     QStringLiteral("5999")},
    {QStringLiteral("mV"), QStringLiteral("kHz"), QStringLiteral("MHz")},
    {QStringLiteral("MANU"), QStringLiteral("AUTO")},
};

std::vector<std::string> ElidedCells(const QTableView& grid) {
    std::vector<std::string> elided;
    // An item view draws its text inside these margins, in the cell less its grid line.
    const int margin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    for (std::size_t column = 0; column < kWidestCells.size(); ++column) {
        const int room = grid.columnWidth(static_cast<int>(column)) - 1 - 2 * margin;
        for (const QString& text : kWidestCells[column]) {
            if (grid.fontMetrics().horizontalAdvance(text) > room) {
                elided.push_back("column " + std::to_string(column) + " \"" + text.toStdString() +
                                 "\" in " + std::to_string(room) + " px");
            }
        }
    }
    return elided;
}

// One "-3.999 V"-like row after another, numbered up to ten million.
void FillRealisticLog(record::MeasurementTable& table, std::size_t rows) {
    const char* values[] = {"-3.999", "39.99", "-0.L", "5999", "0.000"};
    const char* units[] = {"V", "mV", "k*", "M*", "#"};
    const char* ranges[] = {"AUTO", "MANU"};
    for (std::size_t i = 0; i < rows; ++i) {
        const int second = static_cast<int>(i % 86400);
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", second / 3600, second / 60 % 60,
                      second % 60);
        table.Append({static_cast<std::int32_t>(10'000'000 - rows + 1 + i), time,
                      i % 3 == 0 ? "AC" : "DC", values[i % 5], units[i % 5], ranges[i % 2]});
    }
}

void SavePicture(TFCOMM& window, const char* name) {
    const QImage picture = window.grab().toImage();
    const QString path =
        QDir(QStringLiteral(QT_TESTCASE_BUILDDIR)).filePath(QString::fromLatin1(name));
    EXPECT_TRUE(picture.save(path)) << path.toStdString();
}

void ExpectNothingCut(TFCOMM& window) {
    for (const std::string& caption : ClippedCaptions(window)) {
        ADD_FAILURE() << "clipped: " << caption;
    }
    for (const std::string& cell : ElidedCells(*window.DBGrid1)) {
        ADD_FAILURE() << "elided: " << cell;
    }
}

TEST(LayoutFit, FontsResolveToArialMetricsAtTheirPixelSizes) {
    auto window = testing::MakeTestWindow();
    const QFontInfo grid(window->DBGrid1->font());
    EXPECT_EQ(grid.family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(grid.pixelSize(), 12);
    EXPECT_EQ(QFontInfo(window->font()).family(), QStringLiteral("Liberation Sans"));
    // Whole-pixel advances, as the layout was measured with: "0" is 7 px at 12.
    EXPECT_EQ(window->DBGrid1->fontMetrics().horizontalAdvance(QStringLiteral("0000")), 28);
}

TEST(LayoutFit, WindowAtStartConnectedWithALongLogAndEnlarged) {
    testing::FakeSerialPlatform serial;
    auto window = testing::MakeTestWindow(base::kBuildProfile, serial);
    window->ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::qWait(50);
    ExpectNothingCut(*window);
    SavePicture(*window, "layout_start.png");

    window->limitess->trigger();
    FillRealisticLog(window->table(), 100'000);
    window->COMCon->click();
    for (const char* frame : {"A11234B00AD", "A200003102D", "A11234B40AD"}) {
        window->state().FrameText = frame;
        window->decoder().LcdDisplayHeron();
    }
    QTest::qWait(300); // the views and the grid refresh
    ASSERT_EQ(window->DBGrid1->model()->rowCount(), 100'003);
    ExpectNothingCut(*window);
    SavePicture(*window, "layout_connected.png");

    window->TbFd->click();
    QTest::qWait(150);
    ExpectNothingCut(*window);
    SavePicture(*window, "layout_chart_enlarged.png");
    window->TbSx->click();
}

} // namespace
} // namespace meterdesk::app
