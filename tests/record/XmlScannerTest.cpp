// Scope: a document read a window at a time gives the same events, values
// and fault positions as the whole document, wherever the windows end.
#include "record/XmlScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::record {
namespace {

// Each event as a line: its kind, name and attributes, or the fault's offset.
std::string Describe(XmlScanner& scanner, XmlScanner::Event event) {
    switch (event) {
    case XmlScanner::Event::StartTag:
    case XmlScanner::Event::EmptyTag: {
        std::string line = (event == XmlScanner::Event::StartTag ? "start " : "empty ");
        line += scanner.Name();
        for (std::size_t i = 0; i < scanner.AttributeCount(); ++i) {
            const XmlScanner::Attribute& attribute = scanner.Attributes()[i];
            line += " " + std::string(attribute.name) + "=[" + std::string(attribute.Value()) + "]";
        }
        return line;
    }
    case XmlScanner::Event::EndTag:
        return "end " + std::string(scanner.Name());
    case XmlScanner::Event::Done:
        return "done";
    case XmlScanner::Event::Error:
        return "error at " + std::to_string(scanner.Offset());
    case XmlScanner::Event::More:
        break;
    }
    return "more";
}

std::vector<std::string> Whole(std::string_view document) {
    XmlScanner scanner(document);
    std::vector<std::string> events;
    for (;;) {
        const XmlScanner::Event event = scanner.Next();
        events.push_back(Describe(scanner, event));
        if (event == XmlScanner::Event::Done || event == XmlScanner::Event::Error) {
            return events;
        }
    }
}

// As a file reader gives it: `step` new bytes after what the scanner keeps.
std::vector<std::string> InWindows(std::string_view document, std::size_t step) {
    std::size_t read = std::min(step, document.size());
    std::string window(document.substr(0, read));
    XmlScanner scanner(window, read < document.size());
    std::vector<std::string> events;
    for (;;) {
        const XmlScanner::Event event = scanner.Next();
        if (event == XmlScanner::Event::More) {
            const std::size_t take = std::min(step, document.size() - read);
            window = window.substr(scanner.Pending()) + std::string(document.substr(read, take));
            read += take;
            scanner.Continue(window, read < document.size());
            continue;
        }
        events.push_back(Describe(scanner, event));
        if (event == XmlScanner::Event::Done || event == XmlScanner::Event::Error) {
            return events;
        }
    }
}

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
