// Scope: the measurement log's recording rules (row limit, sampling
// interval, Repeat rule, new log) and the table's fields and texts.
#include "record/Recorder.h"

#include "record/MeasurementTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

struct Log : ::testing::Test {
    base::MeasurementState state;
    MeasurementTable table;
    RecordSettings settings;
    int plotted = 0;
    int judged = 0;
    std::vector<std::string> errors;
    Recorder recorder{state, table,
                      RecordHooks{[] { return std::string("12:34:56"); }, [this] { ++plotted; },
                                  [this] { ++judged; },
                                  [this](const std::string& e) { errors.push_back(e); }}};

    bool Reading(const char* value, const char* unit = "V", const char* range = "AUTO") {
        state.ReadingValue = value;
        state.ReadingCoupling = "DC";
        state.ReadingUnit = unit;
        state.ReadingRange = range;
        return recorder.INDataToTable(settings);
    }
};

TEST_F(Log, WithRepeatEveryReadingIsARowNumberedInTurn) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(Reading("1.000"));
    }
    ASSERT_EQ(table.RowCount(), 3U);
    EXPECT_EQ(table.No(2), 3);
    EXPECT_EQ(table.Row(0).Time, "12:34:56");
    EXPECT_EQ(table.Row(0).Func, "DC");
    EXPECT_EQ(table.Row(0).Range, "AUTO");
    EXPECT_EQ(plotted, 3);
    EXPECT_EQ(judged, 3);
    EXPECT_EQ(state.NextRecordNo, 4);
}

TEST_F(Log, WithoutRepeatARunOfEqualReadingsIsOneRow) {
    settings.RepeatSet = false;
    EXPECT_TRUE(Reading("1.000"));
    EXPECT_FALSE(Reading("1.000"));
    EXPECT_TRUE(Reading("1.000", "mV"));         // the unit alone changed
    EXPECT_TRUE(Reading("1.000", "mV", "MANU")); // the range mode alone changed
    EXPECT_TRUE(Reading("0.L", "mV", "MANU"));   // overload is compared like any text
    EXPECT_FALSE(Reading("0.L", "mV", "MANU"));
    EXPECT_EQ(table.RowCount(), 4U);
    // After a new log the last recorded reading is still remembered.
    recorder.NewLog();
    EXPECT_FALSE(Reading("0.L", "mV", "MANU"));
    EXPECT_TRUE(table.Empty());
    EXPECT_TRUE(Reading("0.5", "mV", "MANU"));
    EXPECT_EQ(table.No(0), 1);
}

TEST_F(Log, SamplingIntervalCountsDownOnlyWhileChecked) {
    settings.RecordSI = true;
    settings.RecordSITime = "2";
    EXPECT_TRUE(Reading("1"));
    EXPECT_FALSE(Reading("2"));
    recorder.TrecordTimer(settings);
    EXPECT_FALSE(Reading("3"));
    recorder.TrecordTimer(settings);
    EXPECT_TRUE(Reading("4"));
    // Unchecked: every reading, but each restarts the countdown for later.
    settings.RecordSI = false;
    EXPECT_TRUE(Reading("5"));
    recorder.TrecordTimer(settings); // no counting while unchecked
    settings.RecordSI = true;
    EXPECT_EQ(state.IntervalCountdown, 2);
    EXPECT_FALSE(Reading("6"));
}

TEST_F(Log, ZeroIntervalRecordsEverythingAndANegativeOneBlocks) {
    settings.RecordSI = true;
    settings.RecordSITime = "0";
    EXPECT_TRUE(Reading("1"));
    EXPECT_TRUE(Reading("2"));
    settings.RecordSITime = "-3";
    EXPECT_TRUE(Reading("3"));
    for (int tick = 0; tick < 10; ++tick) {
        recorder.TrecordTimer(settings);
    }
    EXPECT_FALSE(Reading("4"));
    for (const char* zero : {"-", "+", ""}) {
        recorder.RecordSITimeChange(zero);
        EXPECT_EQ(state.IntervalCountdown, 0) << zero;
    }
}

TEST_F(Log, BadIntervalIsReportedOnceAndRecordsNothing) {
    settings.RecordSITime = "99999999999";
    EXPECT_FALSE(Reading("1"));
    EXPECT_FALSE(Reading("2"));
    EXPECT_FALSE(Reading("3"));
    EXPECT_THAT(errors, ::testing::ElementsAre("'99999999999' is not a valid integer value"));
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(state.LastRecorded, "3DCVAUTO");
    state.IntervalCountdown = 7;
    recorder.RecordSITimeChange("1x");
    EXPECT_EQ(state.IntervalCountdown, 7);
    EXPECT_EQ(errors.size(), 2U);
}

TEST_F(Log, RowLimitStopsRecordingChartAndJudgeButKeepsTheRows) {
    recorder.SetRecordLimit(3);
    for (int i = 0; i < 5; ++i) {
        Reading("1");
    }
    EXPECT_EQ(table.RowCount(), 3U);
    EXPECT_EQ(plotted, 3);
    EXPECT_EQ(judged, 3);
    recorder.SetRecordLimit(2); // below the count: stops at once
    EXPECT_FALSE(Reading("1"));
    EXPECT_EQ(table.RowCount(), 3U);
    recorder.SetRecordLimit(kLimitless);
    EXPECT_TRUE(Reading("1"));
}

TEST(MeasurementTable, FieldsTextsAndViews) {
    EXPECT_EQ(FindField("no"), Field::No);
    EXPECT_EQ(FindField("AUTO"), Field::Range);
    EXPECT_EQ(FindField("dc/ac"), Field::Func);
    EXPECT_FALSE(FindField("Auto ").has_value());

    MeasurementTable table;
    int inserted = 0;
    int resets = 0;
    table.SetObserver({[&](std::size_t first, std::size_t count) {
                           EXPECT_EQ(first, table.RowCount());
                           EXPECT_EQ(count, 1U);
                       },
                       [&] { ++inserted; }, [&] { ++resets; }});
    table.Append({1, "10:00:00", "DC", "123456789012345678901234", "V", "AUTO"});
    EXPECT_EQ(table.Text(0, Field::Value), "12345678901234567890");
    table.SuspendViews();
    for (int i = 0; i < 100; ++i) {
        table.Append({i, "10:00:00", "DC", "1.000", "V", "AUTO"});
    }
    EXPECT_EQ(inserted, 1);
    table.ResumeViews();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(table.DistinctTexts(), 6U); // repeated texts are stored once
    table.Clear();
    EXPECT_EQ(resets, 2);
}

TEST(MeasurementTable, CutNeverSplitsAUtf8Character) {
    const std::string text = "\xC3\xA9\xC3\xA9\xC3\xA9"; // three two-byte characters
    EXPECT_EQ(CutText(text, 2, true), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(CutText(text, 3, false), "\xC3\xA9\xC3");
    EXPECT_EQ(CutText("abc", 20, true), "abc");
    MeasurementTable utf8(true);
    utf8.Append({1, "", "", std::string(19, 'x') + "\xC3\xA9\xC3\xA9", "", ""});
    EXPECT_EQ(utf8.Text(0, Field::Value), std::string(19, 'x') + "\xC3\xA9");
}

} // namespace
} // namespace meterdesk::record
