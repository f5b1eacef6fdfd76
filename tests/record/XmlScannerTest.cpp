// Scope: a document read a window at a time gives the same events, values
// and fault positions as the whole document, wherever the windows end.
#include "record/XmlScanner.h"

#include "tests/support/XmlEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::record {
namespace {

using meterdesk::testing::InWindows;
using meterdesk::testing::Whole;

TEST(XmlScannerWindows, EveryCutGivesTheEventsOfTheWholeDocument) {
    const std::vector<std::string> documents = {
        // What this program writes, with the references and blanks it may meet.
        "\xEF\xBB\xBF<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"
        "<METADATA><PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
        "<ROW RowState=\"4\" No=\"1\" DC/AC=\"DC\" Value=\"&lt;&#x41;&#233;&quot;\"/>\r\n"
        "<!-- a <ROW/> in a comment --><ROW No='2' Time=\"a\r\nb\tc\" Unit=\"'\"/>"
        "<![CDATA[ <ROW No=\"3\"/> ]]><ROW\r\n No = \"4\" /></ROWDATA></DATAPACKET>\r\n",
        // Faults at places a window may cut through.
        "<DATAPACKET><ROW No=\"1\"/><ROW No=\"2\" Value=\"&unknown;\"/></DATAPACKET>",
        "<DATAPACKET><ROW No=\"1\"/><ROW No=\"2\"Value=\"x\"/></DATAPACKET>",
        "<DATAPACKET><ROW No=\"1\"/></ROWDATA></DATAPACKET>",
        "<DATAPACKET><ROW No=\"1\"/></DATAPACKET>  x",
        "<DATAPACKET><ROW No=\"1\"/></DATAPACKET><DATAPACKET/>",
        "<DATAPACKET><ROW No=\"1\" Value=\"cut",
        "<DATAPACKET><!-- never closed <ROW/>",
        "<!DOCTYPE d><DATAPACKET/>",
        "   <DATAPACKET/>   ",
    };
    for (const std::string& document : documents) {
        const std::vector<std::string> whole = Whole(document);
        for (std::size_t step = 1; step <= document.size(); ++step) {
            EXPECT_EQ(InWindows(document, step), whole) << document << "\nin steps of " << step;
        }
    }
}

TEST(XmlScannerAttributes, UnusualAttributesReadAsTheyDoWithOtherBlanksBetweenThem) {
    // Single spaces between attributes take a quicker path than other
    // blanks; each of these must come out of both the same, faults too.
    const std::vector<std::string> attributes = {"DC/AC=\"DC\"",
                                                 "a/=\"x\"",
                                                 "v=\"a>b/c=d\"",
                                                 "q='it\"s'",
                                                 "c=\"x\x01y\"",
                                                 "t=\"a\tb\r\nc\"",
                                                 "e=\"&lt;&#65;\"",
                                                 "u=\"\xC3\xA9\"",
                                                 "w=\"" + std::string(70, 'w') + "\"",
                                                 "s = \"spaced\"",
                                                 "x=\"1\"y=\"2\"",
                                                 "n=\"no end",
                                                 "ab/>",
                                                 "ab/>x=\"1\"",
                                                 "z=\"<\"",
                                                 "=\"nameless\""};
    for (const std::string& attribute : attributes) {
        for (const char* end : {"/>", ">"}) {
            const std::vector<std::string> parts = {"a=\"1\"", attribute, "b=\"2\"", "c=\"3\""};
            std::string spaced = "<ROWDATA><ROW";
            std::string broken = spaced;
            for (const std::string& part : parts) {
                spaced += " " + part;
                broken += "\n" + part;
            }
            spaced += std::string(end) + std::string(80, ' ') + "</ROWDATA>";
            broken += std::string(end) + std::string(80, ' ') + "</ROWDATA>";
            EXPECT_EQ(Whole(spaced), Whole(broken)) << spaced;
        }
    }
}

} // namespace
} // namespace meterdesk::record
