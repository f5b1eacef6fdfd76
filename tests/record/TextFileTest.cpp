// Scope: the name rules of saved files, SplitFields, and the tab-separated
// text written and read back byte for byte.
#include "record/DataFileNames.h"
#include "record/TextTableFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

using ::testing::ElementsAre;

TEST(FileNames, DataNamesKeepOnlyTheThreeOfferedExtensionsInSmallLetters) {
    const std::pair<const char*, const char*> cases[] = {
        {"data", "data.xls"},
        {"data.csv", "data.xls"},
        {"data.XLS", "data.xls"},
        {"data.XML", "data.xls"},
        {"data.xml", "data.xml"},
        {"data.txt", "data.txt"},
        {"/tmp/v1.2/data", "/tmp/v1.2/data.xls"},
        {"a.b.c", "a.b.xls"},
    };
    for (const auto& [chosen, saved] : cases) {
        EXPECT_EQ(FixDataFileName(chosen), saved) << chosen;
    }
    EXPECT_EQ(FixPictureFileName("chart"), "chart.bmp");
    EXPECT_EQ(FixPictureFileName("chart.BMP"), "chart.bmp");
    EXPECT_EQ(FixPictureFileName("chart.png"), "chart.bmp");
    EXPECT_EQ(FixPictureFileName("chart.bmp"), "chart.bmp");
    EXPECT_TRUE(IsPacketFileName("data.XmL"));
    EXPECT_FALSE(IsPacketFileName("data.xls"));
    EXPECT_FALSE(IsPacketFileName("xml.d/data"));
}

TEST(SplitFields, PartsBetweenDelimitersReplaceTheList) {
    std::vector<std::string> list{"old", "older", "oldest", "x"};
    SplitFields("a\tb\t", "\t", list);
    EXPECT_THAT(list, ElementsAre("a", "b", ""));
    SplitFields("", "\t", list);
    EXPECT_THAT(list, ElementsAre(""));
    SplitFields("1<>2<><>3", "<>", list);
    EXPECT_THAT(list, ElementsAre("1", "2", "", "3"));
}

struct TextFile : ::testing::Test {
    MeasurementTable table;

    std::string Written() {
        StringSink sink;
        WriteTextTable(table, table.RowCount(), sink);
        return sink.text;
    }
};

TEST_F(TextFile, EmptyTableIsTheHeaderLineAlone) {
    EXPECT_EQ(Written(), "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n");
}

TEST_F(TextFile, RowsAreTabSeparatedWithTrimmedTextsAndCrLf) {
    table.Append({1, "12:00:01", "DC", "1.234", "k*", "AUTO"});
    table.Append({-2, " 12:00:02\t", "", "\x01 0.L \r", "\xB5V", "MANU"});
    table.Append({3, "", "", "", "", "", false});
    EXPECT_EQ(Written(), "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n"
                         "1\t12:00:01\tDC\t1.234\tk*\tAUTO\r\n"
                         "-2\t12:00:02\t\t0.L\t\xB5V\tMANU\r\n"
                         "\t\t\t\t\t\r\n");
}

TEST_F(TextFile, SavedTextLoadsBackWithItsOwnNumbers) {
    for (int i = 1; i <= 3; ++i) {
        table.Append(
            {i, "12:00:0" + std::to_string(i), "AC", "-0.00" + std::to_string(i), "mV", "AUTO"});
    }
    const std::string saved = Written();
    const LoadOutcome outcome = ReadTextTable(saved, table);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.rows, 3U);
    ASSERT_EQ(table.RowCount(), 6U);
    EXPECT_EQ(table.No(3), 1); // every number now occurs twice
    EXPECT_EQ(table.Row(5).Value, "-0.003");
    MeasurementTable again;
    ReadTextTable(saved, again);
    StringSink resaved;
    WriteTextTable(again, again.RowCount(), resaved);
    EXPECT_EQ(resaved.text, saved);
}

struct TextLoadCase {
    const char* name;
    std::string_view file;
    bool ok;
    std::size_t rows;
};

class TextLoad : public ::testing::TestWithParam<TextLoadCase> {};

TEST_P(TextLoad, KeepsTheRowsBeforeAFailureAndNothingOfTheFailedLine) {
    MeasurementTable table;
    const LoadOutcome outcome = ReadTextTable(GetParam().file, table);
    EXPECT_EQ(outcome.ok, GetParam().ok);
    EXPECT_EQ(outcome.rows, GetParam().rows);
    EXPECT_EQ(table.RowCount(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TextLoad,
    ::testing::Values(TextLoadCase{"Empty", "", false, 0},
                      TextLoadCase{"HeaderOnly", "anything\r\n", true, 0},
                      TextLoadCase{"NoFinalBreak", "h\n1\ta\n2\tb", true, 2},
                      TextLoadCase{"CrLfCrAndLf", "h\r\n1\r2\n3\r\n", true, 3},
                      TextLoadCase{"NoHeaderLosesFirstLine", "1\ta\r\n2\tb\r\n", true, 1},
                      TextLoadCase{"BlankLineAmongData", "h\r\n1\r\n\r\n3\r\n", false, 1},
                      TextLoadCase{"BlankLineAtTheEnd", "h\r\n1\r\n2\r\n\r\n", false, 2},
                      TextLoadCase{"SevenPieces", "h\r\n1\r\n2\ta\tb\tc\td\te\tf\r\n3\r\n", false,
                                   1},
                      TextLoadCase{"NonNumericNo", "h\r\n1\r\nx\ta\r\n", false, 1},
                      TextLoadCase{"EmptyNo", "h\r\n\ta\tb\r\n", false, 0},
                      TextLoadCase{"NoOutOfRange", "h\r\n2147483648\r\n", false, 0},
                      TextLoadCase{"SignedNo", "h\r\n-5\r\n+7\r\n 8\r\n", true, 3}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TextLoadColumns, PiecesFillColumnsInOrderAndMissingOnesStayEmpty) {
    MeasurementTable table;
    table.Append({9, "t", "DC", "v", "u", "AUTO"});
    ASSERT_TRUE(
        ReadTextTable("h\r\n7\t12:00:00\tAC\r\n8\ta\tb\tc\td\t0123456789012345678901\r\n", table)
            .ok);
    ASSERT_EQ(table.RowCount(), 3U);
    const TableRow short_ = table.Row(1);
    EXPECT_EQ(short_.No, 7);
    EXPECT_EQ(short_.Time, "12:00:00");
    EXPECT_EQ(short_.Func, "AC");
    EXPECT_EQ(short_.Value, "");
    EXPECT_EQ(short_.Range, "");
    EXPECT_EQ(table.Row(2).Range, "01234567890123456789"); // cut to 20, no error
}

} // namespace
} // namespace meterdesk::record
