// The window around the data files, the chart picture and the printed
// table: the dialogs, saving and loading the table, the bitmap of the chart
// and the print preview.
#include "app/FilePrompt.h"
#include "app/HandlerGuard.h"
#include "app/HeronF.h"
#include "chart/ui/QtChartSurface.h"
#include "record/DataFileNames.h"
#include "record/DataFiles.h"
#include "record/ui/ChartPicture.h"
#include "record/ui/TableReport.h"

#include <QApplication>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace meterdesk::app {

namespace {

class DialogPrompt final : public FilePrompt {
public:
    std::optional<QString> Ask(QFileDialog& dialog) override {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst();
    }
};

QFileDialog* FileDialog(QWidget* parent, const char* name, QFileDialog::AcceptMode mode,
                        const QStringList& filters, const QString& suffix) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setAcceptMode(mode);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(suffix);
    return dialog;
}

// Empties the name box of a dialog (selectFile ignores an empty name).
void ClearFileName(QFileDialog& dialog) {
    if (auto* box = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        box->clear();
    }
}

std::string FileName(const QString& chosen) {
    return QFile::encodeName(chosen).toStdString();
}

QString Shown(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// A progress dialog for a walk over the table; it appears only when the
// walk looks like taking more than half a second.
class ShownProgress {
public:
    ShownProgress(QWidget* parent, const QString& label) : dialog_(label, QString(), 0, 0, parent) {
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(500);
        dialog_.setCancelButton(nullptr);
        dialog_.setAutoClose(false);
        dialog_.setRange(0, kSteps);
        dialog_.setValue(0);
    }

    record::WalkProgress Walk() {
        return [this](std::size_t done, std::size_t total) {
            if (total > 0) {
                dialog_.setValue(static_cast<int>(done * kSteps / total));
            }
        };
    }

private:
    static constexpr int kSteps = 1000;
    QProgressDialog dialog_;
};

// Marks the preview open for as long as it is.
class PreviewOpen {
public:
    explicit PreviewOpen(bool& open) : open_(open) { open_ = true; }
    ~PreviewOpen() { open_ = false; }
    PreviewOpen(const PreviewOpen&) = delete;
    PreviewOpen& operator=(const PreviewOpen&) = delete;

private:
    bool& open_;
};

} // namespace

std::unique_ptr<FilePrompt> MakeDialogPrompt() {
    return std::make_unique<DialogPrompt>();
}

void TFCOMM::BindFiles() {
    fileNames_ = MakeDialogPrompt();
}

QFileDialog* TFCOMM::SaveDialog2() {
    if (saveDialog2_ == nullptr) {
        saveDialog2_ = FileDialog(this, "SaveDialog2", QFileDialog::AcceptSave,
                                  {QStringLiteral("Excel File(*.xls)"),
                                   QStringLiteral("XML(*.xml)"), QStringLiteral("Txt File(*.txt)")},
                                  QStringLiteral("xls"));
    }
    return saveDialog2_;
}

QFileDialog* TFCOMM::OpenDialog1() {
    if (openDialog1_ == nullptr) {
        openDialog1_ =
            FileDialog(this, "OpenDialog1", QFileDialog::AcceptOpen,
                       {QStringLiteral("Excel File(*.xls)"), QStringLiteral("XML (*.xml)"),
                        QStringLiteral("Txt File(*.txt)")},
                       QString());
    }
    return openDialog1_;
}

QFileDialog* TFCOMM::SavePictureDialog1() {
    if (savePictureDialog1_ == nullptr) {
        savePictureDialog1_ =
            FileDialog(this, "SavePictureDialog1", QFileDialog::AcceptSave,
                       {QStringLiteral("Bitmaps (*.bmp)")}, QStringLiteral("bmp"));
    }
    return savePictureDialog1_;
}

void TFCOMM::SetFilePrompt(std::unique_ptr<FilePrompt> prompt) {
    fileNames_ = std::move(prompt);
}

void TFCOMM::Tell(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, this);
    box.exec();
}

bool TFCOMM::MayReplace(const std::string& chosen, const std::string& fixed) {
    // The dialog asked about the name the user typed, not about this one.
    if (fixed == chosen || !record::LocalFiles().Exists(fixed)) {
        return true;
    }
    QMessageBox question(QMessageBox::Information, QStringLiteral("Information"),
                         Shown(fixed) +
                             QStringLiteral(" already exists.\nDo you want to replace it?"),
                         QMessageBox::Yes | QMessageBox::No, this);
    return question.exec() == QMessageBox::Yes;
}

void TFCOMM::saveasClick() {
    ClearFileName(*SaveDialog2());
    const std::optional<QString> chosen = fileNames_->Ask(*SaveDialog2());
    if (!chosen) {
        return;
    }
    const record::SuspendedViews suspended(cds1);
    const std::string name = record::FixDataFileName(FileName(*chosen));
    if (MayReplace(FileName(*chosen), name)) {
        TableToFile(cds1, name);
    }
    update();
}

void TFCOMM::TableToFile(record::MeasurementTable& table, const std::string& name) {
    record::SaveOutcome outcome;
    const std::size_t rows = table.RowCount(); // the rows the save writes
    {
        const record::SuspendedViews suspended(table);
        ShownProgress progress(this, QStringLiteral("Saving the table..."));
        outcome = record::SaveTable(record::LocalFiles(), table, name, progress.Walk());
    }
    ScheduleGridRefresh(); // the current row follows the last
    if (!outcome.error && &table == &cds1) {
        JournalSaved(rows);
    }
    if (outcome.packet && outcome.error) {
        ShowError(record::NotSavedMessage(name, *outcome.error));
    } else if (outcome.packet) {
        Tell(Shown(record::PacketSavedMessage(name)));
    } else {
        Tell(Shown(outcome.error ? record::kTextNotSaved : record::kTextSaved));
    }
}

void TFCOMM::OpenDataFilesClick() {
    const std::optional<QString> chosen = fileNames_->Ask(*OpenDialog1());
    if (!chosen) {
        return;
    }
    const record::SuspendedViews suspended(cds1);
    FileToTable(FileName(*chosen), cds1, false);
}

void TFCOMM::FileToTable(const std::string& name, record::MeasurementTable& table,
                         bool emptyFirst) {
    record::LoadOutcome outcome;
    const std::size_t rowsBefore = emptyFirst ? 0 : table.RowCount();
    {
        ShownProgress progress(this, QStringLiteral("Loading the table..."));
        outcome = record::LoadTable(name, table, emptyFirst, progress.Walk());
    }
    // The grid shows where the file's rows begin, and the status text how
    // many there are.
    const std::size_t appended = table.RowCount() - std::min(rowsBefore, table.RowCount());
    if (appended > 0) {
        gridTargetRow_ = static_cast<int>(rowsBefore);
    }
    statusBar()->showMessage((appended == 1
                                  ? QStringLiteral("1 row appended from %2")
                                  : QStringLiteral("%1 rows appended from %2").arg(appended))
                                 .arg(QFileInfo(QFile::decodeName(name.c_str())).fileName()));
    ScheduleGridRefresh();
    if (!outcome.ok) {
        QMessageBox box(QMessageBox::Critical, Shown(record::kLoadFailedCaption),
                        Shown(record::kLoadFailed), QMessageBox::Ok, this);
        box.exec();
    }
}

void TFCOMM::BtSaveClick() {
    const std::optional<QString> chosen = fileNames_->Ask(*SavePictureDialog1());
    if (!chosen) {
        return;
    }
    const std::string name = record::FixPictureFileName(FileName(*chosen));
    if (!MayReplace(FileName(*chosen), name)) {
        return;
    }
    if (const auto error = SaveChartPicture(name)) {
        ShowError(record::NotSavedMessage(name, *error));
        return;
    }
    QMessageBox done(QMessageBox::Information, QStringLiteral("Information"),
                     Shown(record::PictureSavedMessage(name)), QMessageBox::Ok, this);
    done.exec();
}

std::optional<std::string> TFCOMM::SaveChartPicture(const std::string& name) {
    chartSurface_->RefreshNow(); // the page in view as it stands now
    const QByteArray bitmap = record::BitmapFileBytes(record::DrawChartPicture(*Chtshow));
    return record::SaveFileSafely(record::LocalFiles(), name, [&bitmap](record::ByteSink& sink) {
        sink.Write(std::string_view(bitmap.constData(), static_cast<std::size_t>(bitmap.size())));
    });
}

void TFCOMM::BtPrintClick() {
    if (previewOpen_) {
        return;
    }
    const record::SuspendedViews suspended(cds1);
    const PreviewOpen open(previewOpen_);
    QPrinter printer(QPrinter::HighResolution);
    record::TableReport::Configure(printer);
    const std::size_t rows = cds1.RowCount(); // the rows the report was built from
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("QuickRep1Preview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, rows](QPrinter* target) {
        Guarded([this, rows, target] {
            ShownProgress progress(this, QStringLiteral("Preparing the report..."));
            record::TableReport::Paint(*target, cds1, rows, progress.Walk());
        })();
    });
    preview.exec();
    ScheduleGridRefresh(); // the current row follows the last
}

} // namespace meterdesk::app
