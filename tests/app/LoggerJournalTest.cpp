// Scope: meterdesk-log keeps its rows safe: each stop signal leaves a
// complete --output, an unwritable --output fails before any logging,
// standard input is decoded as it arrives, a killed logger's journal gives
// back exactly its committed rows, and a journal on a full or unusable disk
// is said once while logging goes on.
#include "record/DataFiles.h"
#include "record/Journal.h"
#include "sim/VirtualMeter.h"
#include "tests/support/LoggerProcess.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace meterdesk {
namespace {

using testing::JournalFiles;
using testing::LoggerProcess;

// `count` frames of a sweeping meter, after the line feed a frame needs in
// front of it.
std::string Frames(int count, sim::Scenario scenario = sim::Scenario::Sweep) {
    sim::VirtualMeter meter(scenario);
    std::string bytes = count > 0 ? "\n" : "";
    for (int i = 0; i < count; ++i) {
        const auto frame = meter.NextBytes();
        bytes.append(frame.begin(), frame.end());
    }
    return bytes;
}

std::size_t RowsIn(const std::string& path) {
    record::MeasurementTable table;
    EXPECT_TRUE(record::LoadTable(record::LocalFiles(), path, table, false).ok) << path;
    return table.RowCount();
}

struct LoggerJournal : ::testing::Test {
    testing::TempFolder temp;
    std::string state = temp / "state";
    std::string journals = state + "/meterdesk";
    LoggerProcess::Setup setup{{{"XDG_STATE_HOME", state}}, RLIM_INFINITY};
};

TEST_F(LoggerJournal, EachStopSignalLeavesACompleteOutput) {
    for (const int number : {SIGHUP, SIGPIPE, SIGTERM, SIGINT}) {
        const std::string output = temp / ("signal" + std::to_string(number) + ".xml");
        LoggerProcess logger({"--input", "-", "--output", output}, setup);
        logger.Feed(Frames(5));
        ASSERT_TRUE(logger.WaitForLines(6)) << number << logger.Errors();
        logger.Signal(number);
        ASSERT_EQ(logger.Wait(), 0) << number << logger.Errors();
        EXPECT_EQ(RowsIn(output), 5U) << number;
        EXPECT_TRUE(JournalFiles(journals).empty()) << number; // the log reached its place
    }
    // The reader of standard output goes, as with `| head`: the next row
    // raises SIGPIPE, and the output holds every row.
    const std::string output = temp / "head.txt";
    LoggerProcess logger({"--input", "-", "--output", output}, setup);
    logger.Feed(Frames(3));
    ASSERT_TRUE(logger.WaitForLines(4));
    logger.CloseOutput();
    logger.Feed(Frames(2).substr(1));
    ASSERT_EQ(logger.Wait(), 0) << logger.Errors();
    EXPECT_GE(RowsIn(output), 4U);
}

TEST_F(LoggerJournal, AnUnwritableOutputFailsBeforeAnyLogging) {
    std::ofstream(temp / "file") << "not a folder";
    for (const std::string& output :
         {temp / "no-such-folder/log.txt", temp.Path(), temp / "file/log.xml"}) {
        LoggerProcess logger({"--input", "-", "--output", output}, setup);
        // Standard input stays open: only the check can end the run.
        EXPECT_EQ(logger.Wait(std::chrono::seconds(5)), 1) << output;
        EXPECT_THAT(logger.Errors(), ::testing::HasSubstr(output));
        EXPECT_EQ(std::count(logger.Errors().begin(), logger.Errors().end(), '\n'), 1);
        EXPECT_TRUE(logger.Lines().empty()) << output; // not even the header
    }
}

TEST_F(LoggerJournal, SamplesEndTheRunWhileTheWriterIsStillOpen) {
    LoggerProcess logger({"--input", "-", "--samples", "3"}, setup);
    logger.Feed(Frames(2));
    ASSERT_TRUE(logger.WaitForLines(3));
    EXPECT_FALSE(logger.Exited()); // it waits for the third
    logger.Feed(Frames(10).substr(1));
    ASSERT_EQ(logger.Wait(std::chrono::seconds(5)), 0) << logger.Errors();
    EXPECT_EQ(logger.Lines().size(), 4U);
}

TEST_F(LoggerJournal, AKilledLoggerGivesBackExactlyItsCommittedRows) {
    LoggerProcess logger({"--input", "-", "--output", temp / "never.txt"}, setup);
    logger.Feed(Frames(7));
    ASSERT_TRUE(logger.WaitForLines(8));
    // The rows stop coming; within a second they are committed.
    std::size_t onDisk = 0;
    for (int i = 0; i < 100 && onDisk < 7; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto files = JournalFiles(journals);
        std::string error;
        const auto rows = files.size() == 1 ? record::ReadJournal(files[0], error) : std::nullopt;
        onDisk = rows ? rows->size() : 0;
    }
    ASSERT_EQ(onDisk, 7U);
    logger.Signal(SIGKILL);
    logger.Wait();

    LoggerProcess list({"recover", "--list"}, setup);
    ASSERT_EQ(list.Wait(), 0) << list.Errors();
    ASSERT_EQ(list.Lines().size(), 1U);
    EXPECT_THAT(list.Lines()[0], ::testing::StartsWith(JournalFiles(journals)[0] + "\t"));
    EXPECT_THAT(list.Lines()[0], ::testing::EndsWith("\t7"));

    const std::string recovered = temp / "recovered.txt";
    LoggerProcess recover({"recover", recovered}, setup);
    ASSERT_EQ(recover.Wait(), 0) << recover.Errors();
    std::ifstream text(recovered, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line.substr(0, line.size() - 1)); // without the CR
    }
    const auto logged = logger.Lines();
    EXPECT_EQ(lines, std::vector<std::string>(logged.begin(), logged.end()));
    EXPECT_TRUE(JournalFiles(journals).empty());

    LoggerProcess none({"recover", temp / "again.txt"}, setup);
    EXPECT_EQ(none.Wait(), 1);
    EXPECT_THAT(none.Errors(), ::testing::HasSubstr("no journal"));
}

TEST_F(LoggerJournal, AJournalOnAFullOrUnusableDiskIsSaidOnceAndLoggingGoesOn) {
    LoggerProcess::Setup full = setup;
    full.fileSizeLimit = 64 * 1024; // the disk fills after a few hundred rows
    LoggerProcess filling({"--input", "-", "--samples", "4000"}, full);
    filling.Feed(Frames(4000));
    ASSERT_EQ(filling.Wait(), 0) << filling.Errors();
    EXPECT_EQ(filling.Lines().size(), 4001U);
    EXPECT_THAT(filling.Errors(), ::testing::HasSubstr("logging goes on in memory"));
    EXPECT_EQ(std::count(filling.Errors().begin(), filling.Errors().end(), '\n'), 1)
        << filling.Errors();

    std::ofstream(temp / "file") << "not a folder";
    LoggerProcess::Setup unusable{{{"XDG_STATE_HOME", temp / "file"}}, RLIM_INFINITY};
    const std::string output = temp / "out.xml";
    LoggerProcess blocked({"--input", "-", "--samples", "20", "--output", output}, unusable);
    blocked.Feed(Frames(20));
    ASSERT_EQ(blocked.Wait(), 0) << blocked.Errors();
    EXPECT_EQ(std::count(blocked.Errors().begin(), blocked.Errors().end(), '\n'), 1)
        << blocked.Errors();
    EXPECT_EQ(RowsIn(output), 20U);
}

} // namespace
} // namespace meterdesk
