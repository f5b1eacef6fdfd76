// Scope: a data packet or a text whose rows are read in segments on several
// threads gives the rows, the outcome and the message of a read in order,
// wherever the segments are cut and whatever the file holds between its
// rows; so do rows written into a file on the workers.
#include "record/DataFiles.h"
#include "record/DataPacket.h"
#include "record/InputFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace meterdesk::record {
namespace {

// Every row it is given, as one line, and every row taken back.
class RecordedRows final : public RowReceiver {
public:
    void Take(const TableRowView& row) override {
        std::string line = row.HasNo ? std::to_string(row.No) : "-";
        for (const std::string_view text : row.Texts) {
            line += '|';
            line += text;
        }
        lines.push_back(line);
    }
    void TakeBack(std::size_t count) override { lines.resize(lines.size() - count); }

    std::vector<std::string> lines;
};

const std::string kHead =
    R"(<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>)"
    R"(<FIELD attrname="No" fieldtype="i4"/><FIELD attrname="Time" fieldtype="string" WIDTH="20"/>)"
    R"(<FIELD attrname="Value" fieldtype="string" WIDTH="20"/></FIELDS><PARAMS/></METADATA>)"
    R"(<ROWDATA>)";
const std::string kTail = "</ROWDATA></DATAPACKET>\r\n";

// Rows first..last, each followed by `between`; `special` stands in for
// row `at`.
std::string Rows(int first, int last, const std::string& between = "", int at = 0,
                 const std::string& special = "") {
    std::string rows;
    for (int no = first; no <= last; ++no) {
        rows += no == at ? special
                         : R"(<ROW RowState="4" No=")" + std::to_string(no) + R"(" Time="10:00:)" +
                               std::to_string(no % 60) + R"(" Value=")" +
                               std::to_string(no * 7 % 1000) + R"("/>)";
        rows += between;
    }
    return rows;
}

void ExpectOutcome(const LoadOutcome& outcome, const LoadOutcome& expected,
                   const std::string& where) {
    EXPECT_EQ(outcome.ok, expected.ok) << where;
    EXPECT_EQ(outcome.rows, expected.rows) << where;
    EXPECT_EQ(outcome.error, expected.error) << where;
}

// Rows whose columns come after two long attributes no column takes;
// `note` goes in the last column's value.
std::string LongRows(int first, int last, const std::string& note = "") {
    std::string rows;
    for (int no = first; no <= last; ++no) {
        rows += R"(<ROW RowState="4" Remark=")" + std::string(25 + no % 5, 'r') + R"(" Other=")" +
                std::string(30 - no % 7, 'o') + R"(" No=")" + std::to_string(no) +
                R"(" Time="10:00:)" + std::to_string(no % 60) + R"(" Value=")" + note +
                std::to_string(no * 7 % 1000) + R"("/>)";
    }
    return rows;
}

// A packet with `special` among its rows at three places.
std::string Sprinkled(const std::string& special) {
    return kHead + Rows(1, 12) + special + Rows(14, 25) + special + Rows(27, 33) + special +
           Rows(35, 40) + kTail;
}

TEST(SegmentedRead, EveryCutGivesWhatAReadInOrderGives) {
    const std::vector<std::string> documents{
        kHead + Rows(1, 60) + kTail,
        kHead + "\n  " + Rows(1, 60, "\n  ") + kTail,
        // A row start that is no row: inside a comment, CDATA or a value.
        kHead + Rows(1, 30, "<!-- <ROW No=\"999\"/> -->") + kTail,
        kHead + Rows(1, 30, "<![CDATA[ <ROW No=\"998\"/> ]]>") + kTail,
        kHead + Rows(1, 40, "", 20, R"(<ROW No="20" Value="a &lt;ROW b"/>)") + kTail,
        // Values that need a reference resolved, kept past their segment.
        kHead + Rows(1, 50, "", 25, R"(<ROW No="25" Time="&amp;&#065;" Value="x&quot;"/>)") + kTail,
        // A first column that is no number: rows before it stay.
        kHead + Rows(1, 60, "", 40, R"(<ROW No="x"/>)") + kTail,
        kHead + Rows(1, 60, "", 40, R"(<ROW No="x"/>)") + "<ROW <" + kTail,
        // Structural faults: the packet adds nothing.
        kHead + Rows(1, 60, "", 30, R"(<ROW No="30" Time="1"<)") + kTail,
        kHead + Rows(1, 60) + "</ROWDATA>",
        kHead + Rows(1, 60) + "</ROWDATA></DATAPACKET><DATAPACKET/>",
        kHead + Rows(1, 60, "", 45, "</ROWDATA>") + kTail,
        // Rows of the usual form but for one byte (a tab, "<", a long value,
        // a start tag where an empty one was), at several places in a segment.
        Sprinkled("<ROW RowState=\"4\" No=\"7\" Time=\"1\t2\" Value=\"9\"/>"),
        Sprinkled(R"(<ROW RowState="4" No="7" Time="a<b" Value="9"/>)"),
        Sprinkled(R"(<ROW RowState="4" No="7" Time=")" + std::string(40, 'x') + R"(" Value="9"/>)"),
        Sprinkled(R"(<ROW RowState="4" No="7" Time="a&amp;b" Value="9"/>)"),
        Sprinkled(R"(<ROW RowState="4" No="7" Time="1" Value="9"><X/></ROW>)"),
        Sprinkled(R"(<ROW RowState="4" No="7" Unit="1" Value="9"/>)"),
        // Long rows of the usual form, their columns well past 64 bytes.
        kHead + LongRows(1, 40) + kTail,
        kHead + LongRows(1, 20) + LongRows(21, 40, "x\ty") + kTail,
        // Elements among the rows.
        kHead + Rows(1, 60, "", 20, R"(<ROW No="20"><X/></ROW>)") + kTail,
        kHead + Rows(1, 40, "", 10, R"(<OTHER No="10"/>)") + kTail,
        kHead + Rows(1, 40) + "</ROWDATA><ROWDATA>" + Rows(41, 50) + kTail,
        kHead + Rows(1, 40) + "</ROWDATA>" + Rows(41, 43) + "<!--" + std::string(100, ' ') +
            "--></DATAPACKET>",
    };
    testing::TempFolder folder;
    const std::string path = folder / "packet.xml";
    for (std::size_t d = 0; d < documents.size(); ++d) {
        const std::string& document = documents[d];
        std::ofstream(path, std::ios::binary) << document;
        RecordedRows whole;
        const LoadOutcome expected = ReadDataPacket(document, whole);
        StringSink wholeText;
        TextRowWriter wholeWriter(wholeText, false);
        ASSERT_EQ(ReadDataPacket(document, wholeWriter).error, expected.error);
        wholeWriter.Finish();
        for (const std::size_t bytes : {32, 57, 100, 260, 1000}) {
            for (const std::size_t slack : {8, 200}) {
                for (const unsigned threads : {2U, 3U}) {
                    const SegmentPlan plan{bytes, slack, threads, threads == 2 ? 1U : 4U};
                    std::string error;
                    std::optional<InputFile> file = InputFile::Open(path, error);
                    ASSERT_TRUE(file) << error;
                    RecordedRows segmented;
                    const LoadOutcome outcome = ReadDataPacket(*file, segmented, {}, plan);
                    const std::string where =
                        "document " + std::to_string(d) + ", segments of " + std::to_string(bytes) +
                        " + " + std::to_string(slack) + ", " + std::to_string(threads) + " threads";
                    ExpectOutcome(outcome, expected, where);
                    EXPECT_EQ(segmented.lines, whole.lines) << where;
                    // Rows bound for a file are written on the workers.
                    StringSink text;
                    TextRowWriter writer(text, false);
                    const LoadOutcome written = LoadRows(path, writer, plan);
                    writer.Finish();
                    ExpectOutcome(written, expected, where);
                    if (expected.ok) {
                        EXPECT_EQ(text.text, wholeText.text) << where;
                    }
                }
            }
        }
    }
}

// Text lines first..last, each ending in `end`; `special` stands in for
// line `at`.
std::string Lines(int first, int last, const std::string& end = "\r\n", int at = 0,
                  const std::string& special = "") {
    std::string lines;
    for (int no = first; no <= last; ++no) {
        lines += no == at ? special
                          : std::to_string(no) + "\t10:00:" + std::to_string(no % 60) + "\tDC\t" +
                                std::to_string(no * 7 % 1000) + "\tV\tAUTO";
        lines += end;
    }
    return lines;
}

TEST(SegmentedRead, EveryCutOfATextGivesWhatAReadInOrderGives) {
    const std::string header = "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n";
    const std::vector<std::string> documents{
        header + Lines(1, 60),
        header + Lines(1, 60, "\n"),
        header + Lines(1, 60).substr(0, Lines(1, 60).size() - 2),
        header + Lines(1, 60) + "61\tlast",
        header + Lines(1, 60) + "61\tlast\r",
        // Lone CRs among the line feeds, and nothing but lone CRs.
        header + Lines(1, 20) + Lines(21, 40, "\r") + Lines(41, 60),
        header + Lines(1, 60, "\r"),
        "No.\r" + Lines(1, 60),
        "No.\r\r\n" + Lines(1, 60),
        // Texts with blanks and controls, pieces missing or empty.
        header + Lines(1, 60, "\r\n", 30, "30\t \x01x \t\t\t") + Lines(61, 62, "\r\n", 61, "61"),
        // Lines that are no rows: the rows before them stay.
        header + Lines(1, 60, "\r\n", 40, ""),
        header + Lines(1, 60, "\r\n", 30, "30\ta\tb\tc\td\te\tf"),
        header + Lines(1, 60, "\r\n", 50, "x\t1"),
        header + Lines(1, 60) + "\r\n",
        // Lines longer than the slack, and than a line may be.
        header + Lines(1, 60, "\r\n", 20, "20\t" + std::string(300, 'v')),
        header + Lines(1, 60, "\r\n", 20, "20\t" + std::string(70000, 'v')),
    };
    testing::TempFolder folder;
    const std::string path = folder / "log.txt";
    const SegmentPlan inOrder{1 << 20, 1 << 10, 1, 1};
    for (std::size_t d = 0; d < documents.size(); ++d) {
        std::ofstream(path, std::ios::binary) << documents[d];
        RecordedRows whole;
        const LoadOutcome expected = LoadRows(path, whole, inOrder);
        StringSink wholeText;
        TextRowWriter wholeTextWriter(wholeText, false);
        ASSERT_EQ(LoadRows(path, wholeTextWriter, inOrder).error, expected.error);
        wholeTextWriter.Finish();
        StringSink wholePacket;
        PacketRowWriter wholePacketWriter(wholePacket, expected.rows, false);
        ASSERT_EQ(LoadRows(path, wholePacketWriter, inOrder).error, expected.error);
        wholePacketWriter.Finish();
        for (const std::size_t bytes : {32, 57, 100, 260, 1000}) {
            for (const std::size_t slack : {8, 200}) {
                for (const unsigned threads : {2U, 3U}) {
                    const SegmentPlan plan{bytes, slack, threads, threads == 2 ? 1U : 4U};
                    const std::string where =
                        "document " + std::to_string(d) + ", segments of " + std::to_string(bytes) +
                        " + " + std::to_string(slack) + ", " + std::to_string(threads) + " threads";
                    // A text's rows are read in segments when they go to a
                    // file, and written on the workers.
                    StringSink text;
                    TextRowWriter textWriter(text, false);
                    const LoadOutcome outcome = LoadRows(path, textWriter, plan);
                    textWriter.Finish();
                    ExpectOutcome(outcome, expected, where);
                    StringSink packet;
                    PacketRowWriter packetWriter(packet, expected.rows, false);
                    EXPECT_EQ(LoadRows(path, packetWriter, plan).error, expected.error) << where;
                    packetWriter.Finish();
                    if (expected.ok) {
                        EXPECT_EQ(text.text, wholeText.text) << where;
                        EXPECT_EQ(packet.text, wholePacket.text) << where;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace meterdesk::record
