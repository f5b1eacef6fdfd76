// The window around the journal: every logged row is kept on disk until the
// log is saved, cleared or the exit confirmed; a log left behind by a run
// that ended otherwise is offered back at start.
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "base/NumberText.h"
#include "record/DataFiles.h"
#include "record/Journal.h"

#include <QMessageBox>
#include <QTimer>

namespace meterdesk::app {

void TFCOMM::OpenJournal(const std::string& directory) {
    journalDirectory_ = directory;
    journal_ = std::make_unique<record::Journal>(directory, "meterdesk");
    journal_->onFailure = [this](const std::string& reason) {
        // Said from the event loop, not from inside the reading that failed.
        QTimer::singleShot(0, this, [reason] {
            ShowError("The log cannot be kept on disk (" + reason +
                      "). Logging goes on in memory; save the log to keep it.");
        });
    };
    if (journalCommit_ == nullptr) {
        journalCommit_ = new QTimer(this);
        journalCommit_->setInterval(kJournalCommitMs);
        journalCommit_->setTimerType(Qt::PreciseTimer); // a coarse one may fire 5 % late
        connect(journalCommit_, &QTimer::timeout, this,
                [this] { Guarded([this] { journal_->Commit(); })(); });
    }
    journalCommit_->start();
}

void TFCOMM::OfferLeftJournals() {
    for (const record::LeftJournal& left : record::FindLeftJournals(journalDirectory_)) {
        QMessageBox question(QMessageBox::Information, QStringLiteral("Information"),
                             QString::fromLocal8Bit(record::RestoreQuestion(left).c_str()),
                             QMessageBox::Yes | QMessageBox::No, this);
        if (question.exec() != QMessageBox::Yes) {
            record::RemoveJournal(left.path);
            continue;
        }
        std::optional<std::string> error;
        {
            const record::SuspendedViews suspended(cds1);
            error = record::RestoreJournal(
                left.path, cds1, journal_.get(),
                [this](const record::TableRow& row) { PlotRestored(row.Value); });
        }
        ScheduleGridRefresh();
        if (error) {
            ShowError(*error);
        }
    }
}

void TFCOMM::PlotRestored(const std::string& valueText) {
    // As a live reading: an overload goes to the top of the axis, or to the
    // bottom when it carried the minus sign.
    const auto value = base::TextToFloat(valueText, state_.LocaleFormat);
    const double plotted = value                        ? *value
                           : valueText.starts_with('-') ? ChartControl->AxisMin
                                                        : ChartControl->AxisMax;
    ShowPage(ChartControl->AddPoint(plotted));
}

void TFCOMM::JournalRow() {
    if (journal_) {
        journal_->Append(cds1.Row(cds1.RowCount() - 1));
    }
}

void TFCOMM::JournalCleared() {
    if (journal_) {
        journal_->Restart();
    }
}

void TFCOMM::JournalSaved(std::size_t savedRows) {
    if (journal_) {
        record::JournalSaved(*journal_, cds1, savedRows);
    }
}

} // namespace meterdesk::app
