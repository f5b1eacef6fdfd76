// Scope: the XML data packet written byte for byte, and read back from the
// forms other writers use, with the faults a damaged or hostile file has.
#include "record/DataPacket.h"

#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

constexpr std::string_view kFields =
    "<METADATA><FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/>"
    "<FIELD attrname=\"Time\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"DC/AC\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Auto\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS>";

std::string Packet(const MeasurementTable& table) {
    StringSink sink;
    WriteDataPacket(table, table.RowCount(), sink);
    return sink.text;
}

TEST(PacketWriter, EmptyTableHasFieldsAndNoChangeLog) {
    EXPECT_EQ(Packet(MeasurementTable()),
              std::string(kPacketStart) + std::string(kFields) +
                  "<PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>\r\n");
}

TEST(PacketWriter, RowsAreInsertionsWithEscapedValuesAndOnlyColumnsThatHoldOne) {
    MeasurementTable table;
    table.Append({1, "12:00:01", "DC", "1.234", "k*", "AUTO"});
    table.Append({-2, "12:00:02", "", "<>&'\"\r\n\t\\\xE9", "V", "MANU"});
    table.Append({0, "", "", "", "", "", false});
    EXPECT_EQ(Packet(table),
              std::string(kPacketStart) + std::string(kFields) +
                  "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4 3 0 4\"/></METADATA><ROWDATA>"
                  "<ROW RowState=\"4\" No=\"1\" Time=\"12:00:01\" DC/AC=\"DC\" Value=\"1.234\" "
                  "Unit=\"k*\" Auto=\"AUTO\"/>"
                  "<ROW RowState=\"4\" No=\"-2\" Time=\"12:00:02\" "
                  "Value=\"&lt;&gt;&amp;&apos;&quot;&#013;&#010;&#009;&#092;\xE9\" Unit=\"V\" "
                  "Auto=\"MANU\"/>"
                  "<ROW RowState=\"4\"/></ROWDATA></DATAPACKET>\r\n");
}

TEST(PacketWriter, TheChangeLogCountsEveryRowAcrossItsBlocksAndDigitCarries) {
    // 123,456 rows: past every carry up to six digits, over many blocks.
    const std::size_t rows = 123456;
    std::string expected = "<PARAMS CHANGE_LOG=\"";
    for (std::size_t change = 1; change <= rows; ++change) {
        expected += (change > 1 ? " " : "") + std::to_string(change) + " 0 4";
    }
    expected += "\"/></METADATA><ROWDATA>";
    StringSink sink;
    PacketRowWriter writer(sink, rows, false);
    writer.Finish();
    EXPECT_EQ(sink.text, std::string(kPacketStart) + std::string(kFields) + expected +
                             "</ROWDATA></DATAPACKET>\r\n");
}

TEST(PacketWriter, AttrNamesReplaceOnlyTheListedCharacters) {
    EXPECT_EQ(PacketAttrName("DC/AC"), "DC/AC");
    EXPECT_EQ(PacketAttrName("a b!c#d$e%f(g)h*i?j.k-l"), "a_b_c_d_e_f_g_h_i_j.k-l");
}

TEST(PacketRoundTrip, WrittenPacketReadsBackToTheSameBytes) {
    MeasurementTable table;
    table.Append({1, "12:00:01", "DC", "1.234", "k*", "AUTO"});
    table.Append({2, "12:00:02", "", "<>&'\"\r\n\t\\\xE9", "V", "MANU"});
    table.Append({0, "", "", "x", "", "", false});
    const std::string written = Packet(table);
    MeasurementTable loaded;
    const LoadOutcome outcome = ReadDataPacket(written, loaded);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.rows, 3U);
    EXPECT_FALSE(loaded.HasNo(2));
    EXPECT_EQ(Packet(loaded), written);
}

// One document per way of writing it; each holds rows 1 and 2 unless noted.
constexpr std::string_view kIndented =
    "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n"
    "<DATAPACKET Version=\"2.0\">\r\n"
    "  <METADATA>\r\n"
    "    <FIELDS>\r\n"
    "      <FIELD attrname=\"No\" fieldtype=\"i4\"/>\r\n"
    "      <FIELD attrname=\"Time\" fieldtype=\"string\" WIDTH=\"20\"/>\r\n"
    "      <FIELD attrname=\"DC/AC\" fieldtype=\"string\" WIDTH=\"20\"/>\r\n"
    "    </FIELDS>\r\n"
    "    <PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/>\r\n"
    "  </METADATA>\r\n"
    "  <ROWDATA>\r\n"
    "    <ROW RowState=\"4\" No=\"1\" Time=\"a&#x41;&#65;\" DC/AC = 'AC'/>\r\n"
    "    <ROW No=\"2\"/>\r\n"
    "  </ROWDATA>\r\n"
    "</DATAPACKET>\r\n";

TEST(PacketReader, TakesTheIndentedFormWithoutRowStatesOrMissingColumns) {
    MeasurementTable table;
    const LoadOutcome outcome = ReadDataPacket(kIndented, table);
    EXPECT_TRUE(outcome.ok);
    ASSERT_EQ(table.RowCount(), 2U);
    EXPECT_EQ(table.Row(0).Time, "aAA");
    EXPECT_EQ(table.Row(0).Func, "AC");
    EXPECT_EQ(table.No(1), 2);
    EXPECT_EQ(table.Row(1).Time, "");
}

TEST(PacketReader, ColumnsGoByPositionNotByName) {
    MeasurementTable table;
    const std::string swapped =
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"No\"/><FIELD attrname=\"Value\"/>"
        "<FIELD attrname=\"Time\"/></FIELDS></METADATA><ROWDATA>"
        "<ROW No=\"1\" Time=\"12:00:00\" Value=\"5.0\"/></ROWDATA></DATAPACKET>";
    ASSERT_TRUE(ReadDataPacket(swapped, table).ok);
    EXPECT_EQ(table.Row(0).Time, "5.0");
    EXPECT_EQ(table.Row(0).Func, "12:00:00");
    // A text that meets the No column ends the load at that row.
    const std::string timeFirst =
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"Time\"/><FIELD attrname=\"No\"/>"
        "</FIELDS></METADATA><ROWDATA><ROW No=\"1\"/><ROW No=\"2\" Time=\"12:00:00\"/>"
        "</ROWDATA></DATAPACKET>";
    const LoadOutcome outcome = ReadDataPacket(timeFirst, table);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.rows, 1U); // the first row had no Time, so no No either
    EXPECT_EQ(table.RowCount(), 2U);
}

struct BadPacket {
    const char* name;
    std::string_view document;
};

class PacketFaults : public ::testing::TestWithParam<BadPacket> {};

TEST_P(PacketFaults, FailWithoutAddingARow) {
    MeasurementTable table;
    EXPECT_FALSE(ReadDataPacket(GetParam().document, table).ok);
    EXPECT_EQ(table.RowCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, PacketFaults,
    ::testing::Values(
        BadPacket{"Empty", ""}, BadPacket{"NotAPacket", "<html><body/></html>"},
        BadPacket{"NoFields", "<DATAPACKET><ROWDATA/></DATAPACKET>"},
        BadPacket{"NoRowData", "<DATAPACKET><METADATA><FIELDS/></METADATA></DATAPACKET>"},
        BadPacket{"Truncated", kIndented.substr(0, kIndented.size() - 20)},
        BadPacket{"UnclosedValue", "<DATAPACKET><METADATA><FIELDS/></METADATA><ROWDATA><ROW "
                                   "No=\"1/></ROWDATA></DATAPACKET>"},
        BadPacket{"UnknownEntity", "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"&x;\"/>"
                                   "</FIELDS></METADATA><ROWDATA/></DATAPACKET>"},
        BadPacket{"DocumentType",
                  "<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><DATAPACKET><METADATA>"
                  "<FIELDS/></METADATA><ROWDATA/></DATAPACKET>"},
        BadPacket{"SevenColumns",
                  "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"a\"/><FIELD attrname=\"b\"/>"
                  "<FIELD attrname=\"c\"/><FIELD attrname=\"d\"/><FIELD attrname=\"e\"/>"
                  "<FIELD attrname=\"f\"/><FIELD attrname=\"g\"/></FIELDS></METADATA><ROWDATA>"
                  "<ROW a=\"1\"/></ROWDATA></DATAPACKET>"},
        BadPacket{"MismatchedEnd", "<DATAPACKET><METADATA><FIELDS></METADATA></FIELDS><ROWDATA/>"
                                   "</DATAPACKET>"},
        BadPacket{"TwoRoots", "<DATAPACKET><METADATA><FIELDS/></METADATA><ROWDATA/></DATAPACKET>"
                              "<DATAPACKET/>"},
        BadPacket{"FieldWithoutName", "<DATAPACKET><METADATA><FIELDS><FIELD fieldtype=\"i4\"/>"
                                      "</FIELDS></METADATA><ROWDATA/></DATAPACKET>"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(PacketReader, NumberThatIsNoNumberKeepsTheRowsBeforeIt) {
    MeasurementTable table;
    const std::string document =
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"No\"/></FIELDS></METADATA><ROWDATA>"
        "<ROW No=\"1\"/><ROW No=\"2\"/><ROW No=\"\"/><ROW No=\"4\"/></ROWDATA></DATAPACKET>";
    const LoadOutcome outcome = ReadDataPacket(document, table);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(table.RowCount(), 2U);
}

} // namespace
} // namespace meterdesk::record
