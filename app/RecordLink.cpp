// The window around the measurement log: the table and its grid, recording
// each decoded reading, the sampling interval, the new-log command and the
// row-limit menu.
#include "app/Controls.h"
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "chart/PlottedValue.h"
#include "chart/ui/QtChartSurface.h"
#include "record/ui/MeasurementModel.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace meterdesk::app {

void TFCOMM::BindRecord() {
    hooks_.CreateTable = [this] {
        gridModel_ = new record::MeasurementModel(cds1, DBGrid1, [this] {
            gridPace_.RowsWaiting(); // logged rows keep the grid's pace
            ScheduleViewRefresh();
        });
        QAbstractItemModel* placeholder = DBGrid1->model();
        DBGrid1->setModel(gridModel_);
        delete placeholder;
        logGrid_->SetColumnWidths();
        DBGrid1->setItemDelegate(new record::PlainCellDelegate(DBGrid1));
        DBGrid1->setItemDelegateForColumn(4, new record::UnitDelegate(DBGrid1));
    };
    recorder_ = std::make_unique<record::Recorder>(
        state_, cds1,
        record::RecordHooks{record::LocalClockText, [this] { PlotReading(); },
                            [this] { JudgeStep(); },
                            [](const std::string& text) { ShowError(text); }});
    decoder_.handOffs.ReadingReady = [this] { INDataToTable(); };
    // The window's scroll bar covers the grid's bottom; it moves with the
    // window's scrolling and with the bars coming and going.
    connect(scrollBox->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { KeepGridRowsInSight(); });
    WatchEvent(scrollBox->viewport(), QEvent::Resize, [this] {
        KeepGridRowsInSight();
        return false;
    });
}

void TFCOMM::KeepGridRowsInSight() {
    if (scrollBox->isVisible()) {
        const int gridTop = DBGrid1->mapTo(scrollBox->viewport(), QPoint(0, 0)).y();
        logGrid_->EndAt(scrollBox->viewport()->height() - gridTop);
    }
}

record::RecordSettings TFCOMM::CurrentRecordSettings() const {
    return {RecordSI->isChecked(), RepeatSet->isChecked(),
            RecordSITime->text().toLocal8Bit().toStdString()};
}

void TFCOMM::INDataToTable() {
    // A new row reaches the grid through the model's rowsWaiting.
    if (recorder_->INDataToTable(CurrentRecordSettings())) {
        JournalRow();
    } else if (state_.RecordedCount >= state_.RecordLimit) {
        TellRowLimitReached();
    }
}

void TFCOMM::TellRowLimitReached() {
    if (!rowLimitTold_) {
        rowLimitTold_ = true;
        statusBar()->showMessage(
            QString::fromStdString(record::RowLimitMessage(state_.RecordLimit)));
    }
}

void TFCOMM::EndRowLimitNotice() {
    // A limit still reached is told again, with its own number.
    if (rowLimitTold_) {
        rowLimitTold_ = false;
        statusBar()->clearMessage();
    }
}

void TFCOMM::ScheduleGridRefresh() {
    gridPace_.RowsWaitingNow();
    ScheduleViewRefresh();
}

void TFCOMM::RefreshGrid() {
    if (gridModel_ != nullptr) {
        gridModel_->ShowNewRows();
    }
    if (!cds1.ViewsSuspended() && !cds1.Empty()) {
        const int last = static_cast<int>(cds1.RowCount()) - 1;
        if (gridTargetRow_) {
            logGrid_->GoToRow(std::min(*gridTargetRow_, last), QAbstractItemView::PositionAtTop);
            gridTargetRow_.reset();
        } else {
            logGrid_->GoToRow(last);
        }
    }
}

void TFCOMM::PlotReading() {
    ShowPage(ChartControl->AddPoint(chart::PlottedValue(
        state_.ReadingValue, state_.LocaleFormat, panelState_.Shown(decode::PanelElement::LcdFH),
        ChartControl->AxisMin, ChartControl->AxisMax)));
}

void TFCOMM::TrecordTimer() {
    recorder_->TrecordTimer(CurrentRecordSettings());
}

void TFCOMM::RecordSITimeChange() {
    recorder_->RecordSITimeChange(RecordSITime->text().toLocal8Bit().toStdString());
}

void TFCOMM::RecordNewClick() {
    QMessageBox question(QMessageBox::Information, QStringLiteral("Information"),
                         QStringLiteral("Do you want to delete this record?"),
                         QMessageBox::Yes | QMessageBox::No, this);
    if (question.exec() != QMessageBox::Yes) {
        return;
    }
    recorder_->NewLog();
    JournalCleared();
    EndRowLimitNotice();
    ShowPage(ChartControl->Reset());
}

void TFCOMM::ChooseRecordLimit(QAction* item, std::int32_t limit) {
    for (QAction* other : {N10001, N50001, N100001, N500001, N1000001, limitess}) {
        other->setChecked(other == item);
    }
    recorder_->SetRecordLimit(limit);
    EndRowLimitNotice();
}

void TFCOMM::N10001Click() {
    ChooseRecordLimit(N10001, 1000);
}
void TFCOMM::N50001Click() {
    ChooseRecordLimit(N50001, 5000);
}
void TFCOMM::N100001Click() {
    ChooseRecordLimit(N100001, 10000);
}
void TFCOMM::N500001Click() {
    ChooseRecordLimit(N500001, 50000);
}
void TFCOMM::N1000001Click() {
    ChooseRecordLimit(N1000001, 100000);
}
void TFCOMM::limitessClick() {
    ChooseRecordLimit(limitess, record::kLimitless);
}

} // namespace meterdesk::app
