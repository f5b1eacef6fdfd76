// Scope: a convert that keeps no table writes the very bytes a load into a
// table and a save would, and a source that fails leaves the target as it
// was.
#include "record/Conversion.h"

#include "record/DataFiles.h"
#include "record/DataPacket.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace meterdesk::record {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The bytes of `from` loaded into a table and saved as `name` chooses.
std::string ThroughTable(const testing::TempFolder& folder, const std::string& from,
                         const std::string& name) {
    MeasurementTable table;
    const LoadOutcome loaded = LoadTable(from, table, false);
    EXPECT_TRUE(loaded.ok) << loaded.error;
    const std::string path = folder / ("table_" + name);
    EXPECT_FALSE(SaveTable(LocalFiles(), table, path).error);
    return ReadFile(path);
}

std::vector<std::string> LeftBehind(const testing::TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        if (entry.path().filename().string().starts_with(".mdsave-")) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

const std::string kHeader = "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n";

TEST(Conversion, WritesTheBytesOfALoadAndASaveInEveryDirection) {
    testing::TempFolder folder;
    const std::vector<std::string> texts{
        kHeader,
        kHeader + "1\t10:00:01\tDC\t-12.34\tV\tAUTO\r\n2\t10:00:02\tAC\t0.L\tk*\tMANU",
        // CR, LF and CR LF breaks; missing and empty pieces; a negative No.
        "h\r1\ta\r\n-2\t\t\tx\n3\r\n4\t\t\t\t\tMANU\n",
        // Texts cut to 20 bytes, blanks and controls around them, bytes the
        // packet escapes.
        kHeader + "7\t  padded\t\x01\t<&>'\"\\\t" + std::string(30, 'v') + "\tA\x7F\r\n",
    };
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string text = folder / ("in" + std::to_string(i) + ".txt");
        WriteFile(text, texts[i]);
        for (const std::string target : {"out.xml", "out.txt"}) {
            const ConvertOutcome converted = ConvertFile(text, folder / target);
            ASSERT_FALSE(converted.loadError || converted.saveError) << i << " to " << target;
            EXPECT_EQ(ReadFile(folder / target), ThroughTable(folder, text, target))
                << "text " << i << " to " << target;
        }
    }
    const std::vector<std::string> packets{
        // Attributes out of the columns' order, a row without No, references.
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"No\"/><FIELD attrname=\"Time\"/>"
        "<FIELD attrname=\"DC/AC\"/></FIELDS></METADATA><ROWDATA>"
        "<ROW DC/AC=\"AC\" No=\"5\" Time=\"a&lt;b&#013;\"/><ROW Time=\"" +
            std::string(25, 't') + "\"/><ROW No=\"6\" Extra=\"x\"/></ROWDATA></DATAPACKET>",
        // Two columns of one name both take its first attribute.
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"No\"/><FIELD attrname=\"V\"/>"
        "<FIELD attrname=\"V\"/></FIELDS></METADATA><ROWDATA>"
        "<ROW V=\"first\" No=\"1\" V=\"second\"/></ROWDATA></DATAPACKET>",
    };
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const std::string packet = folder / ("in" + std::to_string(i) + ".xml");
        WriteFile(packet, packets[i]);
        ASSERT_FALSE(ConvertFile(packet, folder / "out.txt").loadError);
        EXPECT_EQ(ReadFile(folder / "out.txt"), ThroughTable(folder, packet, "out.txt"))
            << "packet " << i;
    }
}

TEST(Conversion, CountsALineBreakSplitBetweenReadBlocksOnce) {
    testing::TempFolder folder;
    // The reader and the count take 1 MB at a time: a CR LF lands across
    // that boundary, then a lone CR on it.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    for (const std::size_t crAt : {kBlock - 1, 2 * kBlock - 1}) {
        std::string text = kHeader;
        std::size_t no = 1;
        while (text.size() < crAt - 40) {
            text += std::to_string(no++) + "\t10:00:00\tDC\t1.234\tV\tAUTO\r\n";
        }
        const std::string last = std::to_string(no++) + "\tx";
        text += last + std::string(crAt - text.size() - last.size(), 'y');
        text += crAt == kBlock - 1 ? "\r\n" : "\r";
        text += std::to_string(no) + "\tend\r\n";
        ASSERT_EQ(text[crAt], '\r');
        const std::string path = folder / "split.txt";
        WriteFile(path, text);
        ASSERT_FALSE(ConvertFile(path, folder / "out.xml").loadError);
        EXPECT_EQ(ReadFile(folder / "out.xml"), ThroughTable(folder, path, "out.xml"));
    }
}

TEST(Conversion, CountsALargeTextInHalvesAsItsLoadReadsIt) {
    testing::TempFolder folder;
    // A text of 2 x 3 MB is counted in two halves: the break before the
    // middle is a CR LF split by it, or a lone CR; the last line ends in
    // a break or not.
    constexpr std::size_t kMiddle = std::size_t{3} << 20;
    const auto rowsUpTo = [](std::string& text, std::size_t& no, std::size_t end,
                             std::string_view lastBreak) {
        while (text.size() < end - 40) {
            text += std::to_string(no++) + "\t10:00:00\tDC\t1.234\tV\tAUTO\r\n";
        }
        const std::string last = std::to_string(no++) + "\tx";
        text += last + std::string(end - text.size() - last.size() - lastBreak.size(), 'y');
        text += lastBreak;
    };
    for (const std::string_view middleBreak : {"\r", "\r\n"}) {
        for (const std::string_view end : {"\r\n", ""}) {
            std::string text = kHeader;
            std::size_t no = 1;
            rowsUpTo(text, no, kMiddle, "\r");
            if (middleBreak.size() == 2) {
                text += '\n';
            }
            rowsUpTo(text, no, 2 * kMiddle, end);
            ASSERT_EQ(text.size(), 2 * kMiddle);
            const std::string path = folder / "halves.txt";
            WriteFile(path, text);
            const ConvertOutcome converted = ConvertFile(path, folder / "out.xml");
            ASSERT_FALSE(converted.loadError) << *converted.loadError;
            EXPECT_EQ(ReadFile(folder / "out.xml"), ThroughTable(folder, path, "out.xml"));
        }
    }
}

TEST(Conversion, APacketReadInWindowsGivesTheRowsOfThePacketReadWhole) {
    testing::TempFolder folder;
    // 40,000 rows: a change log longer than a read window, then windows that
    // end inside rows, values and references.
    std::string text = kHeader;
    for (int no = 1; no <= 40000; ++no) {
        text += std::to_string(no) + "\t10:00:00\tDC\t" + std::to_string(no % 977) +
                (no % 3 == 0 ? "<&>" : "") + "\tV\tAUTO\r\n";
    }
    WriteFile(folder / "in.txt", text);
    ASSERT_FALSE(ConvertFile(folder / "in.txt", folder / "in.xml").loadError);
    MeasurementTable whole;
    ASSERT_TRUE(ReadDataPacket(ReadFile(folder / "in.xml"), whole).ok);
    ASSERT_EQ(whole.RowCount(), 40000U);
    StringSink wholeText;
    WriteTextTable(whole, whole.RowCount(), wholeText);
    ASSERT_FALSE(ConvertFile(folder / "in.xml", folder / "out.txt").loadError);
    EXPECT_EQ(ReadFile(folder / "out.txt"), wholeText.text);
    EXPECT_EQ(ReadFile(folder / "out.txt"), text);
}

TEST(Conversion, ASourceThatFailsLeavesTheTargetAsItWasAndSaysWhy) {
    testing::TempFolder folder;
    std::string rows = kHeader;
    for (int no = 1; no <= 5000; ++no) {
        rows += std::to_string(no) + "\t10:00:00\tDC\t1.234\tV\tAUTO\r\n";
    }
    const std::string packetRows =
        "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"No\"/></FIELDS></METADATA><ROWDATA>"
        "<ROW No=\"1\"/><ROW No=\"2\"/>";
    struct Source {
        std::string name;
        std::string bytes;
        std::string says;
    };
    const std::vector<Source> sources{
        {"bad.txt", rows + "x\tDC\r\n", "line 5002 is not a row"},
        {"long.txt", rows + "5001\t" + std::string(70000, 'v') + "\r\n5002\r\n", "longer than"},
        {"empty.txt", "", "the file is empty"},
        {"badno.xml", packetRows + "<ROW No=\"x\"/></ROWDATA></DATAPACKET>", "ROW 3 is not a row"},
        {"cut.xml", packetRows + "<ROW No=\"3\"", "not a data packet"},
    };
    for (const Source& source : sources) {
        const std::string from = folder / source.name;
        WriteFile(from, source.bytes);
        MeasurementTable table;
        const std::string loadSays = LoadTable(from, table, false).error;
        EXPECT_THAT(loadSays, ::testing::HasSubstr(source.says));
        const std::string to = folder / (source.name.ends_with(".xml") ? "keep.txt" : "keep.xml");
        WriteFile(to, "what was there");
        const ConvertOutcome converted = ConvertFile(from, to);
        EXPECT_EQ(converted.loadError.value_or("(none)"), loadSays) << source.name;
        EXPECT_FALSE(converted.saveError) << source.name;
        EXPECT_EQ(ReadFile(to), "what was there") << source.name;
        EXPECT_THAT(LeftBehind(folder), ::testing::IsEmpty()) << source.name;
    }
}

} // namespace
} // namespace meterdesk::record
