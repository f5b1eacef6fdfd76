// The window around the chart pager, the bar scale and the limits: start-up
// hooks, hand-offs, the chart toolbar, enlarging, and the judge.
#include "app/Controls.h"
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "chart/LateValidation.h"
#include "chart/Limits.h"
#include "chart/ui/QtChartSurface.h"
#include "chart/ui/ScaleImage.h"

#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace meterdesk::app {

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.c_str());
}

void Colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

} // namespace

void TFCOMM::BindChart() {
    hooks_.CreatePager = [this] {
        ChartControl = std::make_unique<chart::TChartControl>(*chartSurface_, 100);
    };
    hooks_.InitAxis = [this] {
        ChartControl->SetAxisMax(state_.FullScale);
        ChartControl->SetAxisMin(-state_.FullScale);
    };
    hooks_.InitScale = [this] {
        KDsetup();
        KDrun(state_.BarCentre);
    };
    decode::DecodeHandOffs& handOffs = decoder_.handOffs;
    handOffs.AxisRange = [this](double minimum, double maximum) {
        ChartControl->SetAxisMin(minimum);
        ChartControl->SetAxisMax(maximum);
    };
    handOffs.NeedleAt = [this](std::int32_t position) { KDrun(position); };
    handOffs.PeaksShown = [this](const std::string& maxText, const std::string& minText,
                                 const std::string& unit) {
        MaxText->setText(Latin1(maxText));
        MinText->setText(Latin1(minText));
        ShowSymbolText(MaxTextU, unit);
        ShowSymbolText(MinTextU, unit);
    };
}

void TFCOMM::ShowPage(std::int32_t page) {
    const QString number = QString::number(page);
    if (Bt10->text() != number) { // a button relays itself out at every text set
        Bt10->setText(number);
    }
}

void TFCOMM::BtFillClick() {
    ChartControl->SetFill(BtFill->isChecked());
}
void TFCOMM::BtFirstClick() {
    ShowPage(ChartControl->FirstPage());
}
void TFCOMM::BTPreviousClick() {
    ShowPage(ChartControl->PriorPage());
}
void TFCOMM::BtNextClick() {
    ShowPage(ChartControl->NextPage());
}
void TFCOMM::BTlastClick() {
    ShowPage(ChartControl->LastPage());
}

void TFCOMM::MaxrecordChange() {
    Timer2->stop();
    Timer2->start(); // the page size is taken 2 s after the last keystroke
}

void TFCOMM::Timer2Timer() {
    const chart::PageSizeCheck check =
        chart::CheckPageSizeText(Maxrecord->text().toLatin1().toStdString());
    if (check.repairedText) {
        Maxrecord->setText(Latin1(*check.repairedText));
    }
    ChartControl->SetPageSize(check.pageSize);
    Timer2->stop();
}

void TFCOMM::TbFdClick() {
    if (Chtshow->y() > 50) {
        TbFd->hide();
        TbSx->show();
        ChartRestoreBounds = Chtshow->geometry();
        const QRect outer = frameGeometry();
        Chtshow->setGeometry(2, 28, outer.width() - 12, outer.height() - 85);
        Panel4->hide();
    } else {
        TbSx->hide();
        TbFd->show();
        Chtshow->setGeometry(ChartRestoreBounds);
        Panel4->show();
    }
    TbFd->move(Chtshow->width() - 41, TbFd->y());
    TbSx->move(Chtshow->width() - 41, TbSx->y());
}

void TFCOMM::KDsetup() {
    // The scale is drawn on an image the size of its panel, kept for the
    // needle, which KDrun draws over it.
    if (!scaleCanvas_ || scaleCanvas_->Image().size() != KD->size()) {
        scaleCanvas_ = std::make_unique<chart::ScaleImage>(KD->size());
    }
    barScale_.KDsetup(
        *scaleCanvas_, state_,
        {state_.AlarmHigh, state_.AlarmLow, SetMaxB->isChecked(), SetMinB->isChecked()});
    KD1->setPixmap(QPixmap::fromImage(scaleCanvas_->Image()));
}

void TFCOMM::KDrun(std::int32_t position) {
    if (!scaleCanvas_) {
        scaleCanvas_ = std::make_unique<chart::ScaleImage>(KD->size());
    }
    barScale_.KDrun(*scaleCanvas_, state_, position);
    if (!scaleCanvas_->Image().isNull()) {
        KD1->setPixmap(QPixmap::fromImage(scaleCanvas_->Image()));
    }
}

void TFCOMM::KdFdClick() {
    if (KD->width() < 470) {
        KdFd->hide();
        KdSx->show();
        ScaleRestoreBounds = KD->geometry();
        const QRect outer = frameGeometry();
        KD->setGeometry(2, 28, outer.width() - 12, outer.height() - 80);
        Chtshow->hide();
        KD1->setGeometry(2, 2, KD->width() - 40, KD->height() - 140);
    } else {
        KdSx->hide();
        KdFd->show();
        KD->setGeometry(ScaleRestoreBounds);
        Chtshow->show();
        KD1->setGeometry(2, 2, KD->width() - 4, KD->height() - 4);
    }
}

void TFCOMM::KDResize() {
    KdFd->move(KD->width() - 30, KdFd->y());
    KdSx->move(KD->width() - 30, KdSx->y());
}

void TFCOMM::SetAlarm(QLineEdit* box, float& limit) {
    const chart::AlarmText parsed = chart::ParseAlarmText(box->text().toLocal8Bit().toStdString());
    if (!parsed.limit) {
        ShowError(parsed.error); // the old limit stays, the scale is not redrawn
        return;
    }
    limit = *parsed.limit;
    KDsetup();
}

void TFCOMM::SetmaxExit() {
    SetAlarm(Setmax, state_.AlarmHigh);
}
void TFCOMM::SetMinExit() {
    SetAlarm(SetMin, state_.AlarmLow);
}

void TFCOMM::SetmaxKeyPress(char& Key) {
    if (!chart::AlarmKeyPasses(Key)) {
        Key = '\0';
    }
}

void TFCOMM::T1HIKeyPress(char& Key) {
    if (!chart::JudgeKeyPasses(Key, state_.DecimalSep)) {
        Key = '\0';
    }
}

void TFCOMM::RecordSITimeKeyPress(char& Key) {
    if (!chart::DigitKeyPasses(Key)) {
        Key = '\0';
    }
}

void TFCOMM::T1HIChange() {
    Timer4->stop();
    Timer4->start();
}

void TFCOMM::T1LOChange() {
    Timer5->stop();
    Timer5->start();
}

void TFCOMM::Timer4Timer() {
    Timer4->stop();
    if (const auto repaired = chart::RepairHighLimitText(T1HI->text().toLocal8Bit().toStdString(),
                                                         state_.LocaleFormat)) {
        T1HI->setText(Latin1(*repaired));
    }
}

void TFCOMM::Timer5Timer() {
    Timer5->stop();
    if (const auto repaired = chart::RepairLowLimitText(T1LO->text().toLocal8Bit().toStdString(),
                                                        state_.LocaleFormat)) {
        T1LO->setText(Latin1(*repaired));
    }
}

void TFCOMM::JudgeStep() {
    // Judged now, against the limits as they stand; shown with its value at
    // the view refresh.
    judgeDisplay_.Judged(
        state_.ReadingValue,
        chart::JudgeReading(state_.ReadingValue, T1HI->text().toLocal8Bit().toStdString(),
                            T1LO->text().toLocal8Bit().toStdString(), state_.LocaleFormat));
    ScheduleViewRefresh();
}

void TFCOMM::ShowJudgement(const chart::JudgeLook& look) {
    T1VALUE->setText(Latin1(look.value));
    if (!look.restyle) {
        return;
    }
    const bool pass = *look.restyle == chart::Verdict::Pass;
    const QColor colour = pass ? QColor(0, 128, 0) : QColor(255, 0, 0);
    Colour(T1VALUE, QPalette::Base, colour);
    Shape1->setStyleSheet(QStringLiteral("QFrame#Shape1 { background: %1; border: 1px solid "
                                         "black; border-radius: 48px; }")
                              .arg(colour.name()));
    judge->setText(pass ? QStringLiteral("Pass") : QStringLiteral("Fail"));
    Colour(judge, QPalette::Window, colour);
}

} // namespace meterdesk::app
