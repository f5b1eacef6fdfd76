#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::record {

// A small pull reader for the XML the data files use: elements with
// attributes, nothing else carries data. It is strict where a damaged or
// hostile file would matter (tags must nest and close, values must be
// quoted, references must be known, one root) and lenient where the files
// of this program differ from standard XML: attribute names may hold "/"
// ("DC/AC"). It reads no document type declaration (a document with one is
// refused), so no entity is ever defined or fetched; it knows the five
// standard entities and character references. Text between elements,
// comments and processing instructions are skipped.
//
// The document may come a window at a time: while more follows the window,
// a construct the window ends in yields More, and the scanner goes on with
// the bytes from Pending() on, with more after them (Continue).
class XmlScanner {
public:
    enum class Event { StartTag, EndTag, EmptyTag, Done, Error, More };

    struct Attribute {
        std::string_view name;
        // References resolved: the document's own bytes when it has none.
        std::string_view Value() const { return owned ? std::string_view(storage) : plain; }

        std::string_view plain;
        std::string storage;
        bool owned = false;
    };

    // `more`: the document goes on after `window`.
    explicit XmlScanner(std::string_view window, bool more = false);

    // Goes on inside the elements `open` (the root first), as if their
    // start tags had been read, with the window at `offset` of the document.
    void ResumeInside(const std::vector<std::string>& open, std::size_t offset);

    // Only the elements named keep their attributes; any other element's
    // are checked as strictly but not kept (AttributeCount() is 0 there).
    // Such a tag is never kept whole in a window, so a long value (a change
    // log) passes through windows of any size. Unless called, every element
    // keeps its attributes.
    void KeepAttributesOnlyOf(std::vector<std::string> names);

    // The next element event. After Done or Error it keeps returning that.
    Event Next();
    // After More: where in the window the bytes still needed begin.
    std::size_t Pending() const { return at_; }
    // The window that follows the last one's bytes from Pending() on.
    void Continue(std::string_view window, bool more);

    // Where in the window the scan stands, and a jump ahead over bytes the
    // caller read itself: whole elements, between two events.
    std::size_t Position() const { return at_; }
    void SkipTo(std::size_t at) { at_ = at; }

    // Of the last start, empty or end tag.
    std::string_view Name() const { return name_; }
    // Of the last start or empty tag, in document order.
    const Attribute* Attributes() const { return attributes_.data(); }
    std::size_t AttributeCount() const { return attributeCount_; }
    // The value of the named attribute of the last tag.
    std::optional<std::string_view> Find(std::string_view name) const;
    // Elements open around the position reached (the root counts).
    std::size_t Depth() const { return open_.size(); }
    // Bytes of the document read so far.
    std::size_t Offset() const { return windowStart_ + at_; }

private:
    Event Fail();
    Event NeedMore();
    bool SkipUntil(std::string_view end);
    void SkipBlanks();
    bool ReadTag(bool& empty);
    enum class TagPart { End, Attribute, Fault };
    TagPart NextTagPart(bool& empty, std::string_view& name, char& quote);
    Event TagRead(bool empty);
    bool SkimTag(bool& empty);
    bool SkimValue();
    void ReadUsualAttributes();
    Attribute& NextAttribute() {
        if (attributeCount_ == attributes_.size()) {
            attributes_.emplace_back();
        }
        return attributes_[attributeCount_++];
    }
    bool ReadValue(char quote, Attribute& attribute);
    bool ReadReference(std::string& value);

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t windowStart_ = 0; // where text_ begins in the document
    std::size_t constructStart_ = 0;
    bool more_ = false;
    bool bomChecked_ = false;
    bool failed_ = false;
    bool rootSeen_ = false;
    // Owned: a window's bytes move when the next one comes.
    std::vector<std::string> open_;
    std::string_view name_;
    std::vector<Attribute> attributes_;
    std::size_t attributeCount_ = 0;
    // Tags whose attributes are not kept are read in parts: a window may
    // end anywhere in them, and the scan goes on from `resumeAt_`.
    enum class SkimPart { None, BetweenAttributes, InValue };
    bool keepAll_ = true;
    std::vector<std::string> kept_;
    SkimPart skimPart_ = SkimPart::None;
    char skimQuote_ = '"';
    std::size_t resumeAt_ = 0;
    std::string skimName_;
    std::string skimScratch_;
};

} // namespace meterdesk::record
