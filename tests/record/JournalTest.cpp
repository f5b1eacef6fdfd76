// Scope: the journal on a real SQLite file: rows reach the disk only in
// commits, a live journal is told from one left behind, done journals go,
// and a journal that cannot be written says so once and takes nothing more.
#include "record/Journal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace meterdesk::record {
namespace {

struct JournalTest : ::testing::Test {
    std::string directory;
    std::int64_t now = 1'700'000'000'000;
    UtcClock clock = [this] { return now; };

    void SetUp() override {
        char pattern[] = "/tmp/meterdesk_journal_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory = std::string(pattern) + "/state/meterdesk";
    }
    void TearDown() override {
        std::filesystem::remove_all(std::filesystem::path(directory).parent_path().parent_path());
    }

    static TableRow Row(std::int32_t no, const std::string& value) {
        return {no, "10:00:0" + std::to_string(no % 10), "DC", value, "V", "AUTO"};
    }
    static std::size_t RowsOnDisk(const std::string& path) {
        std::string error;
        const auto rows = ReadJournal(path, error);
        EXPECT_TRUE(rows) << error;
        return rows ? rows->size() : 0;
    }
};

TEST_F(JournalTest, RowsReachTheFileInCommitsNeverOneByOne) {
    Journal journal(directory, "test", clock);
    EXPECT_TRUE(journal.Path().empty()); // no file before the first row
    journal.Append(Row(1, "1.00"));
    journal.Append(Row(2, "2.00"));
    ASSERT_FALSE(journal.Path().empty());
    EXPECT_EQ(RowsOnDisk(journal.Path()), 0U);
    EXPECT_EQ(journal.WaitingRows(), 2U);
    now += 999;
    journal.Append(Row(3, "3.00"));
    EXPECT_EQ(RowsOnDisk(journal.Path()), 0U);
    now += 1;
    journal.Append(Row(4, "4.00")); // the oldest waiting row is a second old
    EXPECT_EQ(RowsOnDisk(journal.Path()), 4U);
    journal.Append(Row(5, "-0.L"));
    journal.Commit(); // the caller's timer
    EXPECT_EQ(journal.CommittedRows(), 5U);

    std::string error;
    const auto rows = ReadJournal(journal.Path(), error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->size(), 5U);
    EXPECT_EQ((*rows)[4].row.No, 5);
    EXPECT_EQ((*rows)[4].row.Time, "10:00:05");
    EXPECT_EQ((*rows)[4].row.Func, "DC");
    EXPECT_EQ((*rows)[4].row.Value, "-0.L");
    EXPECT_EQ((*rows)[4].row.Unit, "V");
    EXPECT_EQ((*rows)[4].row.Range, "AUTO");
    EXPECT_EQ((*rows)[0].arrivedMs, 1'700'000'000'000);
    EXPECT_EQ((*rows)[4].arrivedMs, 1'700'000'001'000);
}

TEST_F(JournalTest, RowsPouringInWithinASecondAreKeptInOrderAndCommittedTogether) {
    // A file read in: thousands of rows before the clock moves on. The held
    // rows go into the open transaction in batches, none reach the file
    // before the commit, and the commit keeps every one in order.
    Journal journal(directory, "test", clock);
    constexpr std::int32_t kRows = 5000;
    for (std::int32_t no = 1; no <= kRows; ++no) {
        journal.Append(Row(no, std::to_string(no)));
    }
    EXPECT_EQ(journal.WaitingRows(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(RowsOnDisk(journal.Path()), 0U);
    now += 1000;
    journal.Append(Row(kRows + 1, "last"));
    EXPECT_EQ(journal.CommittedRows(), static_cast<std::size_t>(kRows + 1));
    EXPECT_EQ(journal.WaitingRows(), 0U);
    std::string error;
    const auto rows = ReadJournal(journal.Path(), error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->size(), static_cast<std::size_t>(kRows + 1));
    for (std::int32_t no = 1; no <= kRows; ++no) {
        ASSERT_EQ((*rows)[static_cast<std::size_t>(no - 1)].row.No, no);
        ASSERT_EQ((*rows)[static_cast<std::size_t>(no - 1)].row.Value, std::to_string(no));
    }
    EXPECT_EQ(rows->back().row.Value, "last");
}

TEST_F(JournalTest, OnlyJournalsLeftBehindAreFoundAndDoneOnesGo) {
    std::string left;
    {
        Journal first(directory, "meterdesk-log", clock);
        first.Append(Row(1, "1.00"));
        first.Append(Row(2, "2.00"));
        left = first.Path();
        EXPECT_TRUE(FindLeftJournals(directory).empty()); // its program holds it
    } // gone without a save: the waiting rows are committed, the file stays
    now += 60'000;
    Journal saved(directory, "meterdesk", clock);
    saved.Append(Row(1, "5.00"));
    const std::string savedPath = saved.Path();
    const auto found = FindLeftJournals(directory);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].path, left);
    EXPECT_EQ(found[0].rows, 2U);
    EXPECT_EQ(found[0].startedMs, 1'700'000'000'000);
    EXPECT_EQ(found[0].program, "meterdesk-log");

    saved.Done();
    EXPECT_FALSE(std::filesystem::exists(savedPath));
    EXPECT_FALSE(std::filesystem::exists(savedPath + ".lock"));
    saved.Append(Row(2, "6.00")); // a new journal for the rows after the save
    EXPECT_TRUE(std::filesystem::exists(saved.Path()));
    EXPECT_EQ(saved.WaitingRows(), 1U);
    saved.Restart();
    EXPECT_EQ(FindLeftJournals(directory).size(), 1U);

    RemoveJournal(left);
    EXPECT_TRUE(FindLeftJournals(directory).empty());
    EXPECT_TRUE(std::filesystem::is_empty(directory));
}

TEST_F(JournalTest, AFolderThatCannotBeMadeIsSaidOnce) {
    const std::string parent = std::filesystem::path(directory).parent_path().parent_path();
    std::ofstream(parent + "/file") << "x";
    Journal journal(parent + "/file/meterdesk", "test", clock);
    int said = 0;
    std::string reason;
    journal.onFailure = [&](const std::string& text) {
        ++said;
        reason = text;
    };
    for (int i = 1; i <= 5; ++i) {
        journal.Append(Row(i, "1.00"));
    }
    journal.Commit();
    EXPECT_EQ(said, 1);
    EXPECT_NE(reason.find("file/meterdesk"), std::string::npos) << reason;
    EXPECT_TRUE(journal.Failed());
}

TEST_F(JournalTest, AFullDiskIsSaidOnceAndTheCommittedRowsStay) {
    Journal journal(directory, "test", clock);
    int said = 0;
    journal.onFailure = [&](const std::string&) { ++said; };
    journal.Append(Row(1, "1.00"));
    journal.Commit();
    const std::string path = journal.Path();
    // The disk fills up: no file of this process may grow past 256 KiB.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 256 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &tight);
    const std::string wide(200, 'x');
    for (int i = 2; i < 20'000 && !journal.Failed(); ++i) {
        journal.Append(Row(i, wide));
        now += 100;
    }
    journal.Commit();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_TRUE(journal.Failed());
    EXPECT_EQ(said, 1);
    journal.Append(Row(99, "1.00")); // taken in memory only, quietly
    EXPECT_EQ(said, 1);
    EXPECT_GE(RowsOnDisk(path), journal.CommittedRows());
    EXPECT_GE(journal.CommittedRows(), 1U);
}

TEST_F(JournalTest, TheFolderFollowsXdgStateHome) {
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(JournalDirectory(), "/srv/state/meterdesk");
    ::setenv("XDG_STATE_HOME", "relative", 1); // not absolute: ignored
    EXPECT_EQ(JournalDirectory(),
              std::string(std::getenv("HOME") != nullptr ? std::getenv("HOME") : "") +
                  "/.local/state/meterdesk");
    if (old != nullptr) {
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }
}

} // namespace
} // namespace meterdesk::record
