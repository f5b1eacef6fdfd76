// Scope: what a failed load says, and the loaders' bounds: a text file is
// taken in blocks of any size with the same result, a line without end is
// refused in memory of about one line.
#include "record/DataFiles.h"
#include "record/DataPacket.h"
#include "record/TextTableFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace meterdesk::record {
namespace {

using ::testing::HasSubstr;

class LoadFailure : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("md_load_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string ErrorOf(const std::string& path) {
        MeasurementTable table;
        const LoadOutcome outcome = LoadTable(path, table, false);
        EXPECT_FALSE(outcome.ok) << path;
        return outcome.error;
    }

    std::filesystem::path folder_;
};

TEST_F(LoadFailure, SaysWhyTheFileCannotBeRead) {
    EXPECT_THAT(ErrorOf(Path("missing.xls")), HasSubstr("does not exist"));
    std::filesystem::create_directory(Path("folder.xml"));
    EXPECT_THAT(ErrorOf(Path("folder.xml")), HasSubstr("folder"));
    ASSERT_EQ(::mkfifo(Path("pipe.txt").c_str(), 0600), 0);
    EXPECT_THAT(ErrorOf(Path("pipe.txt")), HasSubstr("not a regular file")); // and does not wait
    EXPECT_THAT(ErrorOf(Write("empty.txt", "")), HasSubstr("empty"));

    // Not readable: as root only another user is refused, so the load runs
    // in a child that gives up root.
    const std::string secret = Write("secret.xls", "h\r\n1\r\n");
    ::chmod(secret.c_str(), 0);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0) {
            ::_exit(2);
        }
        const std::string error = ErrorOf(secret);
        const bool written = ::write(pipe[1], error.data(), error.size()) > 0;
        ::_exit(written ? 0 : 1);
    }
    ::close(pipe[1]);
    char said[256] = {};
    const ssize_t got = ::read(pipe[0], said, sizeof said - 1);
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_GT(got, 0);
    EXPECT_THAT(std::string(said), HasSubstr("may not be read"));
}

TEST_F(LoadFailure, NamesTheLineOrTheDocumentThatIsNoRow) {
    MeasurementTable table;
    LoadOutcome text = ReadTextTable("h\r\n1\r\n2\ta\tb\tc\td\te\tf\r\n", table);
    EXPECT_EQ(text.error, "line 3 is not a row: more than six pieces");
    text = ReadTextTable("h\r\n1\r\n\r\n", table);
    EXPECT_EQ(text.error, "line 3 is not a row: its first piece is no whole number");
    text = ReadTextTable("h\n" + std::string(kMaxTextLineBytes + 1, 'x') + "\n", table);
    EXPECT_THAT(text.error, HasSubstr("line 2 is not a row: longer than"));
    EXPECT_TRUE(
        ReadTextTable("h\n" + std::string(kMaxTextLineBytes, 'x').replace(0, 2, "1\t"), table)
            .error.empty());

    EXPECT_THAT(ReadDataPacket("<DATAPACKET><ROWDATA>", table).error,
                HasSubstr("not a data packet"));
    const std::string badNo =
        std::string(kPacketStart) +
        "<METADATA><FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA>"
        "<ROWDATA><ROW No=\"1\"/><ROW No=\"x\"/></ROWDATA></DATAPACKET>";
    const std::size_t before = table.RowCount();
    const LoadOutcome packet = ReadDataPacket(badNo, table);
    EXPECT_EQ(packet.error, "ROW 2 is not a row: its first column is no whole number");
    EXPECT_EQ(table.RowCount(), before + 1);
    // The same fault, and a broken end: nothing stays.
    const LoadOutcome broken = ReadDataPacket(badNo.substr(0, badNo.size() - 5), table);
    EXPECT_THAT(broken.error, HasSubstr("not a data packet"));
    EXPECT_EQ(broken.rows, 0U);
    EXPECT_EQ(table.RowCount(), before + 1);
}

TEST(TextReader, BlocksOfAnySizeGiveTheSameRows) {
    const std::string file =
        "No.\r\n1\t10:00:00\tDC\t1.5\tV\tAUTO\r\n2\tb\r3\n4\t\t\t\t\tMANU\r\n5";
    MeasurementTable whole;
    ASSERT_TRUE(ReadTextTable(file, whole).ok);
    ASSERT_EQ(whole.RowCount(), 5U);
    StringSink expected;
    WriteTextTable(whole, whole.RowCount(), expected);
    for (std::size_t block = 1; block <= 7; ++block) {
        MeasurementTable table;
        TableReceiver rows(table);
        TextTableReader reader(rows, file.size());
        for (std::size_t at = 0; at < file.size(); at += block) {
            ASSERT_TRUE(reader.Feed(std::string_view(file).substr(at, block)));
        }
        EXPECT_TRUE(reader.Finish().ok);
        StringSink got;
        WriteTextTable(table, table.RowCount(), got);
        EXPECT_EQ(got.text, expected.text) << "blocks of " << block;
    }
}

// Peak memory of a load in a child process, above what the child held at
// its start.
long LoadPeakKilobytes(const std::string& path, std::string& error) {
    int pipe[2];
    EXPECT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        MeasurementTable table;
        const LoadOutcome outcome = LoadTable(path, table, false);
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const std::string report =
            std::to_string(after.ru_maxrss - before.ru_maxrss) + " " + outcome.error;
        const bool written = ::write(pipe[1], report.data(), report.size()) > 0;
        ::_exit(outcome.ok || !written ? 1 : 0);
    }
    ::close(pipe[1]);
    std::string report(512, '\0');
    const ssize_t got = ::read(pipe[0], report.data(), report.size());
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    report.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    const std::size_t blank = report.find(' ');
    error = blank == std::string::npos ? report : report.substr(blank + 1);
    return std::stol("0" + report.substr(0, blank));
}

TEST_F(LoadFailure, ALineOfTwentyMegabytesOfTabsIsRefusedInLittleMemory) {
    const std::string tabs = Write("tabs.txt", "h\r\n1" + std::string(20'000'000, '\t') + "\r\n");
    std::string error;
    EXPECT_LT(LoadPeakKilobytes(tabs, error), 200 * 1024);
    EXPECT_THAT(error, HasSubstr("line 2 is not a row"));
    // Without any line break: the header alone is refused the same way.
    const std::string zeros = Write("zeros.xls", std::string(20'000'000, '\0'));
    EXPECT_LT(LoadPeakKilobytes(zeros, error), 200 * 1024);
    EXPECT_THAT(error, HasSubstr("line 1 is not a row: longer than"));
}

} // namespace
} // namespace meterdesk::record
