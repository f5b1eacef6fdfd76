#pragma once

// A scanner's events as lines, read whole or a window at a time, so that a
// test or a fuzz target can compare the two.
#include "record/XmlScanner.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::testing {

// Each event as a line: its kind, name and attributes, or the fault's offset.
inline std::string Describe(record::XmlScanner& scanner, record::XmlScanner::Event event) {
    switch (event) {
    case record::XmlScanner::Event::StartTag:
    case record::XmlScanner::Event::EmptyTag: {
        std::string line = (event == record::XmlScanner::Event::StartTag ? "start " : "empty ");
        line += scanner.Name();
        for (std::size_t i = 0; i < scanner.AttributeCount(); ++i) {
            const record::XmlScanner::Attribute& attribute = scanner.Attributes()[i];
            line += " " + std::string(attribute.name) + "=[" + std::string(attribute.Value()) + "]";
        }
        return line;
    }
    case record::XmlScanner::Event::EndTag:
        return "end " + std::string(scanner.Name());
    case record::XmlScanner::Event::Done:
        return "done";
    case record::XmlScanner::Event::Error:
        return "error at " + std::to_string(scanner.Offset());
    case record::XmlScanner::Event::More:
        break;
    }
    return "more";
}

// The elements that keep their attributes, when not all do.
using Kept = std::optional<std::vector<std::string>>;

inline std::vector<std::string> Whole(std::string_view document, const Kept& kept = {}) {
    record::XmlScanner scanner(document);
    if (kept) {
        scanner.KeepAttributesOnlyOf(*kept);
    }
    std::vector<std::string> events;
    for (;;) {
        const record::XmlScanner::Event event = scanner.Next();
        events.push_back(Describe(scanner, event));
        if (event == record::XmlScanner::Event::Done || event == record::XmlScanner::Event::Error) {
            return events;
        }
    }
}

// As a file reader gives it: `step` new bytes after what the scanner keeps.
// `largest`: the longest window it took.
inline std::vector<std::string> InWindows(std::string_view document, std::size_t step,
                                          const Kept& kept = {}, std::size_t* largest = nullptr) {
    std::size_t read = std::min(step, document.size());
    std::string window(document.substr(0, read));
    record::XmlScanner scanner(window, read < document.size());
    if (kept) {
        scanner.KeepAttributesOnlyOf(*kept);
    }
    std::vector<std::string> events;
    for (;;) {
        const record::XmlScanner::Event event = scanner.Next();
        if (event == record::XmlScanner::Event::More) {
            const std::size_t take = std::min(step, document.size() - read);
            window = window.substr(scanner.Pending()) + std::string(document.substr(read, take));
            read += take;
            if (largest != nullptr) {
                *largest = std::max(*largest, window.size());
            }
            scanner.Continue(window, read < document.size());
            continue;
        }
        events.push_back(Describe(scanner, event));
        if (event == record::XmlScanner::Event::Done || event == record::XmlScanner::Event::Error) {
            return events;
        }
    }
}

// The events of a scanner that keeps every element's attributes, with the
// attributes of the elements not in `kept` left out.
inline std::vector<std::string> KeptOnly(std::vector<std::string> events,
                                         const std::vector<std::string>& kept) {
    for (std::string& event : events) {
        if (!event.starts_with("start ") && !event.starts_with("empty ")) {
            continue;
        }
        const std::size_t nameEnd = event.find(' ', 6);
        const std::string name = event.substr(6, nameEnd - 6);
        if (nameEnd != std::string::npos &&
            std::find(kept.begin(), kept.end(), name) == kept.end()) {
            event.resize(nameEnd);
        }
    }
    return events;
}

} // namespace meterdesk::testing
