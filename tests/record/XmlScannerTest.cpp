// Scope: a document read a window at a time gives the same events, values
// and fault positions as the whole document, wherever the windows end; a
// tag whose attributes are not kept is judged as one that is, and a long one
// needs no window that holds it whole.
#include "record/XmlScanner.h"

#include "tests/support/XmlEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::record {
namespace {

using meterdesk::testing::InWindows;
using meterdesk::testing::KeptOnly;
using meterdesk::testing::Whole;

std::vector<std::string> Documents() {
    return {
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
}

std::vector<std::string> UnusualAttributes() {
    return {"DC/AC=\"DC\"",
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
}

TEST(XmlScannerWindows, EveryCutGivesTheEventsOfTheWholeDocument) {
    for (const std::string& document : Documents()) {
        const std::vector<std::string> whole = Whole(document);
        for (std::size_t step = 1; step <= document.size(); ++step) {
            EXPECT_EQ(InWindows(document, step), whole) << document << "\nin steps of " << step;
        }
    }
}

TEST(XmlScannerAttributes, UnusualAttributesReadAsTheyDoWithOtherBlanksBetweenThem) {
    // Single spaces between attributes take a quicker path than other
    // blanks; each of these must come out of both the same, faults too.
    for (const std::string& attribute : UnusualAttributes()) {
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

TEST(XmlScannerSkimming, ATagNotKeptIsJudgedAsAKeptOneWhereverTheWindowsEnd) {
    const std::vector<std::string> kept = {"ROW"};
    std::vector<std::string> documents = Documents();
    std::vector<std::string> attributes = UnusualAttributes();
    for (const char* reference : {"&#0;", "&#x110000;", "&abcdefghijklmnop;", "&#x41", "&#;"}) {
        attributes.push_back("r=\"a " + std::string(reference) + " b\"");
    }
    for (const std::string& attribute : attributes) {
        documents.push_back("<DATAPACKET><PARAMS a=\"1\" " + attribute +
                            " b=\"&amp;2\"/><ROW No=\"1\"/></DATAPACKET>");
        documents.push_back("<DATAPACKET><PARAMS\r\n" + attribute + "\t></PARAMS></DATAPACKET>");
    }
    for (const std::string& document : documents) {
        const std::vector<std::string> expected = KeptOnly(Whole(document), kept);
        EXPECT_EQ(Whole(document, kept), expected) << document;
        for (std::size_t step = 1; step <= document.size(); ++step) {
            EXPECT_EQ(InWindows(document, step, kept), expected)
                << document << "\nin steps of " << step;
        }
    }
}

TEST(XmlScannerSkimming, ALongValueNotKeptPassesThroughSmallWindows) {
    std::string changeLog;
    for (int row = 1; row <= 4000; ++row) {
        changeLog += std::to_string(row) + " 0 4 ";
    }
    for (const std::string& value : {changeLog, changeLog + "&#10;" + changeLog + "&lt;"}) {
        const std::string document = "<DATAPACKET><METADATA><PARAMS CHANGE_LOG=\"" + value +
                                     "\" LCID=\"0\"/></METADATA><ROWDATA><ROW No=\"1\"/>"
                                     "</ROWDATA></DATAPACKET>";
        const std::vector<std::string> kept = {"ROW"};
        for (const std::size_t step : {7, 64, 300}) {
            std::size_t largest = 0;
            EXPECT_EQ(InWindows(document, step, kept, &largest), Whole(document, kept));
            EXPECT_LE(largest, step + 32) << "in steps of " << step;
        }
    }
}

} // namespace
} // namespace meterdesk::record
