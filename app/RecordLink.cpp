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
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

#include <array>

namespace meterdesk::app {

void TFCOMM::BindRecord() {
    hooks_.CreateTable = [this] {
        gridModel_ = new record::MeasurementModel(cds1, DBGrid1, [this] { ScheduleGridRefresh(); });
        QAbstractItemModel* placeholder = DBGrid1->model();
        DBGrid1->setModel(gridModel_);
        delete placeholder;
        constexpr std::array<int, 6> kWidths{39, 53, 37, 43, 36, 36};
        for (int column = 0; column < 6; ++column) {
            DBGrid1->setColumnWidth(column, kWidths[static_cast<std::size_t>(column)]);
        }
        DBGrid1->setItemDelegateForColumn(4, new record::UnitDelegate(DBGrid1));
    };
    recorder_ = std::make_unique<record::Recorder>(
        state_, cds1,
        record::RecordHooks{record::LocalClockText, [this] { PlotReading(); },
                            [this] { JudgeStep(); },
                            [](const std::string& text) { ShowError(text); }});
    decoder_.handOffs.ReadingReady = [this] { INDataToTable(); };
}

record::RecordSettings TFCOMM::CurrentRecordSettings() const {
    return {RecordSI->isChecked(), RepeatSet->isChecked(),
            RecordSITime->text().toLocal8Bit().toStdString()};
}

void TFCOMM::INDataToTable() {
    // A new row reaches the grid through the model's rowsWaiting.
    if (recorder_->INDataToTable(CurrentRecordSettings())) {
        JournalRow();
    }
}

void TFCOMM::ScheduleGridRefresh() {
    gridPace_.RowsWaiting();
    ScheduleViewRefresh();
}

void TFCOMM::RefreshGrid() {
    if (gridModel_ != nullptr) {
        gridModel_->ShowNewRows();
    }
    if (!cds1.ViewsSuspended() && !cds1.Empty()) {
        const int last = static_cast<int>(cds1.RowCount()) - 1;
        DBGrid1->setCurrentIndex(DBGrid1->model()->index(last, 0));
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
    ShowPage(ChartControl->Reset());
}

void TFCOMM::ChooseRecordLimit(QAction* item, std::int32_t limit) {
    for (QAction* other : {N10001, N50001, N100001, N500001, N1000001, limitess}) {
        other->setChecked(other == item);
    }
    recorder_->SetRecordLimit(limit);
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
