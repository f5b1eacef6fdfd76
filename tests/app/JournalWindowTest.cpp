// Scope: the window's journal: logged rows reach the disk by the window's
// own commit timer; a save, a clear and the confirmed exit remove it while
// a title-bar close leaves it; a killed window's journal gives back exactly
// its committed rows; a restored journal fills the grid and the chart; a
// journal that cannot be written is said once while logging goes on.
#include "app/FilePrompt.h"
#include "chart/ui/QtChartSurface.h"
#include "record/DataFiles.h"
#include "record/Journal.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestWindow.h"

#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <deque>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace meterdesk::app {
namespace {

using testing::AnswerNextMessageBox;
using testing::JournalFiles;

struct OneName final : FilePrompt {
    QString name;
    std::optional<QString> Ask(QFileDialog&) override { return name; }
};

struct JournalWindow : ::testing::Test {
    testing::TempFolder temp;
    std::string folder = temp / "state/meterdesk";

    static void Frames(TFCOMM& window, int count) {
        for (int i = 0; i < count; ++i) {
            window.state().FrameText = i % 2 == 0 ? "A11234B00AD" : "A200003102D";
            window.decoder().LcdDisplayHeron();
        }
    }
    static void WaitCommitted(TFCOMM& window, std::size_t rows) {
        for (int i = 0; i < 60 && window.journal()->CommittedRows() < rows; ++i) {
            QTest::qWait(50);
        }
        ASSERT_EQ(window.journal()->CommittedRows(), rows);
    }
};

TEST_F(JournalWindow, SaveClearAndConfirmedExitRemoveItATitleBarCloseKeepsIt) {
    auto window = testing::MakeTestWindow();
    window->OpenJournal(folder);
    Frames(*window, 3);
    EXPECT_EQ(window->journal()->CommittedRows(), 0U); // never one commit per row
    WaitCommitted(*window, 3);                         // the window's timer commits within a second

    auto prompt = std::make_unique<OneName>();
    prompt->name = QString::fromStdString(temp / "saved.txt");
    window->SetFilePrompt(std::move(prompt));
    AnswerNextMessageBox(QMessageBox::Ok, nullptr);
    window->saveasClick();
    EXPECT_TRUE(JournalFiles(folder).empty());

    Frames(*window, 2); // a new journal for the rows after the save
    ASSERT_EQ(JournalFiles(folder).size(), 1U);
    AnswerNextMessageBox(QMessageBox::Yes, nullptr);
    window->RecordNewClick();
    EXPECT_TRUE(JournalFiles(folder).empty());

    Frames(*window, 2);
    AnswerNextMessageBox(QMessageBox::Yes, nullptr);
    window->BitBtn1Click();
    EXPECT_TRUE(JournalFiles(folder).empty());
    window.reset(); // one HID controller a program

    auto closed = testing::MakeTestWindow();
    closed->OpenJournal(folder);
    Frames(*closed, 4);
    closed->close(); // the title bar: no question, the log kept for the next start
    closed.reset();
    const auto left = record::FindLeftJournals(folder);
    ASSERT_EQ(left.size(), 1U);
    EXPECT_EQ(left[0].rows, 4U);
    EXPECT_EQ(left[0].program, "meterdesk");
}

TEST_F(JournalWindow, AKilledWindowGivesBackExactlyItsCommittedRows) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(MD_JOURNAL_CHILD_PATH, MD_JOURNAL_CHILD_PATH, folder.c_str(), "7", nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string said;
    char buffer[256];
    ssize_t n = 0;
    while (said.find('\n') == std::string::npos && (n = read(out[0], buffer, sizeof buffer)) > 0) {
        said.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(said, "committed 7\n");

    const auto left = record::FindLeftJournals(folder);
    ASSERT_EQ(left.size(), 1U);
    EXPECT_EQ(left[0].rows, 7U);
    std::string error;
    const auto rows = record::ReadJournal(left[0].path, error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->size(), 7U);
    for (std::size_t i = 0; i < rows->size(); ++i) {
        EXPECT_EQ((*rows)[i].row.No, static_cast<std::int32_t>(i + 1));
    }
    EXPECT_EQ((*rows)[0].row.Value, "12.34");
    EXPECT_EQ((*rows)[1].row.Unit, "k*");
}

TEST_F(JournalWindow, ARestoredJournalFillsTheGridAndTheChart) {
    {
        record::Journal left(folder, "meterdesk-log", [] { return 1'700'000'000'000; });
        left.Append({1, "10:00:01", "DC", "1.50", "V", "AUTO"});
        left.Append({2, "10:00:02", "DC", "2.50", "V", "AUTO"});
        left.Append({3, "10:00:03", "DC", "0.L", "V", "AUTO"});
    }
    auto window = testing::MakeTestWindow();
    window->OpenJournal(folder);
    QString asked;
    AnswerNextMessageBox(QMessageBox::Yes, &asked);
    window->OfferLeftJournals();
    EXPECT_EQ(asked.toStdString(), "A log of 3 readings from " +
                                       record::LocalDateTimeText(1'700'000'000'000) +
                                       " was not saved. Restore it?");
    QTest::qWait(250); // the grid's refresh
    QAbstractItemModel* grid = window->DBGrid1->model();
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->index(1, 3).data().toString(), QStringLiteral("2.50"));
    EXPECT_EQ(grid->index(2, 0).data().toInt(), 3);
    EXPECT_EQ(window->chartSurface()->ValueCount(), 4U); // the origin and three readings
    EXPECT_EQ(window->state().NextRecordNo, 1);          // as a load: the counters stay
    // The rows are kept by the window's own journal now, the old one is gone.
    EXPECT_EQ(window->journal()->CommittedRows(), 3U);
    const auto files = JournalFiles(folder);
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(files[0], window->journal()->Path());
}

TEST_F(JournalWindow, AJournalThatCannotBeWrittenIsSaidOnceAndLoggingGoesOn) {
    std::ofstream(temp / "file") << "not a folder";
    auto window = testing::MakeTestWindow();
    window->OpenJournal(temp / "file/meterdesk");
    Frames(*window, 3);
    QString said;
    AnswerNextMessageBox(QMessageBox::Ok, &said); // the box comes from the event loop
    QTest::qWait(100);
    EXPECT_TRUE(said.contains(QStringLiteral("Logging goes on in memory"))) << said.toStdString();
    Frames(*window, 3);
    QTest::qWait(700);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // not said again
    EXPECT_EQ(window->table().RowCount(), 6U);
}

} // namespace
} // namespace meterdesk::app
