// Scope: the window's data files, chart picture and print preview: the
// dialogs' set-up, the name rules with the replace question, the messages,
// the bitmap's size and background, and the grid resumed after each walk.
#include "app/FilePrompt.h"
#include "tests/support/TestWindow.h"

#include <QAbstractItemModel>
#include <QChartView>
#include <QFileDialog>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace meterdesk::app {
namespace {

namespace fs = std::filesystem;
using testing::AnswerNextMessageBox;

// Answers the window's file questions in turn, noting which dialog asked.
struct ScriptedPrompt final : FilePrompt {
    std::deque<std::optional<QString>> answers;
    std::vector<QString> asked;
    std::vector<QStringList> selectedWhenAsked;
    std::optional<QString> Ask(QFileDialog& dialog) override {
        asked.push_back(dialog.objectName());
        selectedWhenAsked.push_back(dialog.selectedFiles());
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

std::string Contents(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

struct FileWindow : ::testing::Test {
    std::unique_ptr<TFCOMM> window = testing::MakeTestWindow();
    ScriptedPrompt* prompt = nullptr;
    fs::path folder = fs::temp_directory_path() / ("md_files_" + std::to_string(::getpid()));

    FileWindow() {
        auto scripted = std::make_unique<ScriptedPrompt>();
        prompt = scripted.get();
        window->SetFilePrompt(std::move(scripted));
        fs::create_directories(folder);
        for (const char* frame : {"A11234B00AD", "A200003102D", "A11234B00AD"}) {
            window->state().FrameText = frame;
            window->decoder().LcdDisplayHeron();
        }
    }
    ~FileWindow() override { fs::remove_all(folder); }

    QString Path(const char* name) const {
        return QString::fromStdString((folder / name).string());
    }

    // Runs a command that answers with one message box; returns its text.
    template <typename Command> QString Told(Command command) {
        QString text;
        AnswerNextMessageBox(QMessageBox::Ok, &text);
        command();
        EXPECT_FALSE(window->table().ViewsSuspended());
        return text;
    }
};

TEST_F(FileWindow, DialogsOfferTheFormatsAndDefaults) {
    EXPECT_EQ(window->SaveDialog2()->nameFilters(),
              (QStringList{"Excel File(*.xls)", "XML(*.xml)", "Txt File(*.txt)"}));
    EXPECT_EQ(window->SaveDialog2()->defaultSuffix(), QStringLiteral("xls"));
    EXPECT_EQ(window->SaveDialog2()->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(window->OpenDialog1()->nameFilters().value(1), QStringLiteral("XML (*.xml)"));
    EXPECT_EQ(window->OpenDialog1()->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(window->SavePictureDialog1()->nameFilters(), QStringList{"Bitmaps (*.bmp)"});
    EXPECT_EQ(window->SavePictureDialog1()->defaultSuffix(), QStringLiteral("bmp"));
}

TEST_F(FileWindow, SavesBothFormatsAndLoadsThemBackAppended) {
    prompt->answers = {Path("data.csv"), Path("data.xml"), Path("data.xls"), Path("data.xml")};
    window->SaveDialog2()->selectFile(Path("leftover.xls"));
    EXPECT_EQ(Told([&] { window->saveasClick(); }),
              QStringLiteral("Table has been saved successfully!"));
    EXPECT_EQ(Told([&] { window->saveas->click(); }),
              QStringLiteral("Save table to specified file: ") + Path("data.xml") +
                  QStringLiteral(" Scuss!"));
    EXPECT_FALSE(
        prompt->selectedWhenAsked.front().value(0).endsWith(QStringLiteral("leftover.xls")));
    EXPECT_TRUE(
        Contents(folder / "data.xls").starts_with("No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n1\t"));
    window->OpenDataFilesClick();
    window->OpenDataFiles->click();
    EXPECT_EQ(prompt->asked,
              (std::vector<QString>{"SaveDialog2", "SaveDialog2", "OpenDialog1", "OpenDialog1"}));
    ASSERT_EQ(window->table().RowCount(), 9U);
    EXPECT_EQ(window->table().No(3), 1);
    EXPECT_EQ(window->table().Row(7).Unit, "k*");
    EXPECT_EQ(window->state().NextRecordNo, 4); // loading leaves the numbering alone
    EXPECT_EQ(window->DBGrid1->model()->rowCount(), 9);
    // The message boxes ran the event loop, and with it the view refresh; the
    // grid then stands on the last load's first row.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->DBGrid1->currentIndex().row() == 6; }));
}

TEST_F(FileWindow, AReplacedExtensionAsksBeforeOverwritingThatFile) {
    std::ofstream(folder / "old.xls") << "keep me";
    prompt->answers = {Path("old.csv"), Path("old.csv")};
    QString asked;
    AnswerNextMessageBox(QMessageBox::No, &asked);
    window->saveasClick();
    EXPECT_EQ(asked,
              Path("old.xls") + QStringLiteral(" already exists.\nDo you want to replace it?"));
    EXPECT_EQ(Contents(folder / "old.xls"), "keep me");
    EXPECT_FALSE(window->table().ViewsSuspended());
    // Yes to the question, then OK to the outcome.
    QTimer::singleShot(0, [] {
        AnswerNextMessageBox(QMessageBox::Ok, nullptr);
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
            ->button(QMessageBox::Yes)
            ->click();
    });
    window->saveasClick();
    EXPECT_TRUE(Contents(folder / "old.xls").starts_with("No."));
}

TEST_F(FileWindow, FailuresSayWhatHappenedAndResumeTheGrid) {
    prompt->answers = {Path("none/data.txt"), Path("none/data.xml"), Path("missing.xls"),
                       std::nullopt};
    EXPECT_EQ(Told([&] { window->saveasClick(); }),
              QStringLiteral("Table can not be saved in this format!"));
    const QString error = Told([&] { window->saveasClick(); });
    EXPECT_TRUE(error.contains(Path("none/data.xml"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("No such file or directory")));
    EXPECT_TRUE(error.contains(QStringLiteral("not saved")));
    EXPECT_EQ(Told([&] { window->OpenDataFilesClick(); }), QStringLiteral("Failed to Load File!"));
    window->saveasClick(); // cancelled: nothing happens, no box
    EXPECT_FALSE(fs::exists(folder / "none"));
    EXPECT_EQ(window->table().RowCount(), 3U);
}

TEST_F(FileWindow, ALoadThatFailsKeepsTheRowsBeforeTheBadLine) {
    std::ofstream(folder / "bad.txt", std::ios::binary) << "h\r\n7\ta\r\n8\ta\tb\tc\td\te\tf\r\n";
    prompt->answers = {Path("bad.txt")};
    EXPECT_EQ(Told([&] { window->OpenDataFilesClick(); }), QStringLiteral("Failed to Load File!"));
    ASSERT_EQ(window->table().RowCount(), 4U);
    EXPECT_EQ(window->table().No(3), 7);
}

TEST_F(FileWindow, ChartPictureHasTheChartsSizeNormalAndEnlargedOnWhite) {
    window->ShowCentred();
    prompt->answers = {Path("chart.png"), Path("big")};
    for (const char* saved : {"chart.bmp", "big.bmp"}) {
        QString told;
        AnswerNextMessageBox(QMessageBox::Ok, &told);
        window->BtSaveClick();
        EXPECT_EQ(told, QStringLiteral("Graphic has been saved successfully at the following "
                                       "location: ") +
                            Path(saved));
        const std::string bytes = Contents(folder / saved);
        ASSERT_GT(bytes.size(), 54U);
        EXPECT_EQ(bytes.substr(0, 2), "BM");
        const QImage picture = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                                static_cast<int>(bytes.size()), "BMP");
        EXPECT_EQ(picture.size(), window->Chtshow->size());
        EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));
        EXPECT_EQ(picture.pixelColor(picture.width() - 1, picture.height() - 1), QColor(Qt::white));
        int drawn = 0; // the chart's axes and grid
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                drawn += picture.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
            }
        }
        EXPECT_GT(drawn, picture.width());
        window->TbFdClick(); // the second picture is of the enlarged chart
    }
    EXPECT_GT(QImage(Path("big.bmp")).width(), QImage(Path("chart.bmp")).width());
}

TEST_F(FileWindow, PreviewSuspendsTheGridUntilItCloses) {
    bool suspendedWhileOpen = false;
    bool previewShown = false;
    QTimer::singleShot(0, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        previewShown = preview != nullptr;
        suspendedWhileOpen = window->table().ViewsSuspended();
        if (preview != nullptr) {
            preview->reject();
        }
    });
    window->BtPrintClick();
    EXPECT_TRUE(previewShown);
    EXPECT_TRUE(suspendedWhileOpen);
    EXPECT_FALSE(window->table().ViewsSuspended());

    // The hidden Print button does nothing: no preview, the grid goes on.
    bool dialogShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialogShown = true;
            dialog->close();
        }
    });
    const std::size_t rows = window->table().RowCount();
    window->Print->click();
    QCoreApplication::processEvents(); // the check above runs now at the latest
    EXPECT_FALSE(dialogShown);
    EXPECT_FALSE(window->table().ViewsSuspended());
    EXPECT_EQ(window->table().RowCount(), rows);
}

} // namespace
} // namespace meterdesk::app
