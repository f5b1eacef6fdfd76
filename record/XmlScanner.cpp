#include "record/XmlScanner.h"

#include "base/Utf8.h"
#include "record/XmlBytes.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace meterdesk::record {

namespace {

using namespace xml;

void AppendCodePoint(std::string& value, std::uint32_t code) {
    // Files are in an 8-bit code page: a reference below 256 is that byte;
    // anything above can only be meant as Unicode, so it becomes UTF-8.
    if (code < 0x100) {
        value += static_cast<char>(code);
    } else {
        base::AppendUtf8(value, static_cast<char32_t>(code));
    }
}

} // namespace

XmlScanner::XmlScanner(std::string_view window, bool more) : text_(window), more_(more) {}

void XmlScanner::Continue(std::string_view window, bool more) {
    windowStart_ += at_;
    text_ = window;
    at_ = 0;
    more_ = more;
}

void XmlScanner::ResumeInside(const std::vector<std::string>& open, std::size_t offset) {
    open_ = open;
    skimPart_ = SkimPart::None;
    rootSeen_ = !open.empty();
    bomChecked_ = true;
    windowStart_ = offset;
}

XmlScanner::Event XmlScanner::Fail() {
    // A fault this close to the window's end may be a construct cut short:
    // it is judged again with the bytes that follow.
    if (more_ && at_ + kCutShort >= text_.size()) {
        return NeedMore();
    }
    failed_ = true;
    return Event::Error;
}

void XmlScanner::KeepAttributesOnlyOf(std::vector<std::string> names) {
    kept_ = std::move(names);
    keepAll_ = false;
}

XmlScanner::Event XmlScanner::NeedMore() {
    at_ = skimPart_ != SkimPart::None ? resumeAt_ : constructStart_;
    return Event::More;
}

std::optional<std::string_view> XmlScanner::Find(std::string_view name) const {
    for (std::size_t i = 0; i < attributeCount_; ++i) {
        if (attributes_[i].name == name) {
            return attributes_[i].Value();
        }
    }
    return std::nullopt;
}

bool XmlScanner::SkipUntil(std::string_view end) {
    const std::size_t found = text_.find(end, at_);
    if (found == std::string_view::npos) {
        return false;
    }
    at_ = found + end.size();
    return true;
}

void XmlScanner::SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_])) {
        ++at_;
    }
}

XmlScanner::Event XmlScanner::Next() {
    if (failed_) {
        return Event::Error;
    }
    if (!bomChecked_) {
        if (more_ && text_.size() < 3) {
            return NeedMore();
        }
        bomChecked_ = true;
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
            at_ = 3;
        }
    }
    if (skimPart_ != SkimPart::None) {
        bool empty = false;
        return SkimTag(empty) ? TagRead(empty) : Fail();
    }
    for (;;) {
        // Text: allowed inside the root, only blanks outside it.
        const std::size_t tag = text_.find('<', at_);
        const std::size_t textEnd = tag == std::string_view::npos ? text_.size() : tag;
        if (open_.empty()) {
            for (std::size_t i = at_; i < textEnd; ++i) {
                if (!IsBlank(text_[i])) {
                    at_ = i;
                    constructStart_ = i;
                    return Fail();
                }
            }
        }
        at_ = textEnd;
        constructStart_ = at_;
        if (tag == std::string_view::npos) {
            if (more_) {
                return NeedMore();
            }
            if (!open_.empty() || !rootSeen_) {
                return Fail();
            }
            return Event::Done;
        }
        const std::string_view rest = text_.substr(at_);
        // Most tags open an element; only "<?", "<!" and "</" need a closer
        // look, below.
        const char second = rest.size() > 1 ? rest[1] : '\0';
        if (second != '?' && second != '!' && second != '/') {
            if (open_.empty() && rootSeen_) {
                return Fail(); // a second root
            }
            ++at_;
            bool empty = false;
            return ReadTag(empty) ? TagRead(empty) : Fail();
        }
        if (rest.starts_with("<?")) {
            if (!SkipUntil("?>")) {
                return more_ ? NeedMore() : Fail();
            }
            continue;
        }
        if (rest.starts_with("<!--")) {
            if (!SkipUntil("-->")) {
                return more_ ? NeedMore() : Fail();
            }
            continue;
        }
        if (rest.starts_with("<![CDATA[") && !open_.empty()) {
            if (!SkipUntil("]]>")) {
                return more_ ? NeedMore() : Fail();
            }
            continue;
        }
        if (rest.starts_with("<!")) {
            return Fail(); // a document type declaration, or worse
        }
        // What is left is an end tag, "</".
        at_ += 2;
        const std::size_t start = at_;
        at_ = NameEnd(text_, at_);
        name_ = text_.substr(start, at_ - start);
        SkipBlanks();
        if (at_ >= text_.size() || text_[at_] != '>' || open_.empty() || open_.back() != name_) {
            return Fail();
        }
        ++at_;
        open_.pop_back();
        attributeCount_ = 0;
        return Event::EndTag;
    }
}

bool XmlScanner::ReadTag(bool& empty) {
    const std::size_t start = at_;
    at_ = NameEnd(text_, at_);
    name_ = text_.substr(start, at_ - start);
    if (name_.empty() || at_ >= text_.size()) {
        return false;
    }
    attributeCount_ = 0;
    if (!keepAll_ && std::find(kept_.begin(), kept_.end(), name_) == kept_.end()) {
        skimName_.assign(name_);
        name_ = skimName_;
        skimPart_ = SkimPart::BetweenAttributes;
        return SkimTag(empty);
    }
    for (;;) {
        ReadUsualAttributes();
        std::string_view attributeName;
        char quote = '"';
        switch (NextTagPart(empty, attributeName, quote)) {
        case TagPart::End:
            return true;
        case TagPart::Fault:
            return false;
        case TagPart::Attribute:
            break;
        }
        Attribute& attribute = NextAttribute();
        attribute.name = attributeName;
        if (!ReadValue(quote, attribute)) {
            return false;
        }
    }
}

// From the end of a tag's name or of an attribute's value: the tag's end
// (">" or "/>"), or the next attribute up to and past its opening quote.
XmlScanner::TagPart XmlScanner::NextTagPart(bool& empty, std::string_view& name, char& quote) {
    const std::size_t before = at_;
    SkipBlanks();
    if (at_ >= text_.size()) {
        return TagPart::Fault;
    }
    if (text_[at_] == '>') {
        ++at_;
        return TagPart::End;
    }
    if (text_[at_] == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '>') {
        at_ += 2;
        empty = true;
        return TagPart::End;
    }
    if (at_ == before) {
        return TagPart::Fault; // attributes are set apart by blanks
    }
    const std::size_t start = at_;
    at_ = NameEnd(text_, at_);
    name = text_.substr(start, at_ - start);
    SkipBlanks();
    if (name.empty() || at_ >= text_.size() || text_[at_] != '=') {
        return TagPart::Fault;
    }
    ++at_;
    SkipBlanks();
    if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) {
        return TagPart::Fault;
    }
    quote = text_[at_++];
    return TagPart::Attribute;
}

XmlScanner::Event XmlScanner::TagRead(bool empty) {
    rootSeen_ = true;
    if (empty) {
        return Event::EmptyTag;
    }
    open_.emplace_back(name_);
    return Event::StartTag;
}

// The attributes of a tag read as ReadTag reads them, but not kept. Where
// the window ends, `resumeAt_` is where the scan picks up again: the blanks
// before an attribute, or the part of a value not yet judged.
bool XmlScanner::SkimTag(bool& empty) {
    for (;;) {
        if (skimPart_ == SkimPart::InValue) {
            if (!SkimValue()) {
                return false;
            }
            skimPart_ = SkimPart::BetweenAttributes;
        }
        resumeAt_ = at_;
        std::string_view name;
        switch (NextTagPart(empty, name, skimQuote_)) {
        case TagPart::End:
            skimPart_ = SkimPart::None;
            return true;
        case TagPart::Fault:
            return false;
        case TagPart::Attribute:
            skimPart_ = SkimPart::InValue;
            break;
        }
    }
}

// A value judged as ReadValue judges it, without keeping it.
bool XmlScanner::SkimValue() {
    for (;;) {
        at_ = PlainValueEnd(text_, at_);
        resumeAt_ = at_;
        if (at_ >= text_.size()) {
            return false;
        }
        const char c = text_[at_];
        if (c == skimQuote_) {
            ++at_;
            return true;
        }
        if (c == '<') {
            return false;
        }
        if (c == '&') {
            skimScratch_.clear();
            if (!ReadReference(skimScratch_)) {
                return false;
            }
            continue;
        }
        ++at_; // the other quote, or a blank
    }
}

void XmlScanner::ReadUsualAttributes() {
#if defined(__SSE2__)
    // Attributes of the usual form (one space, a name, "=", a plain value in
    // double quotes) are read from masks of 64 bytes at a time, which say
    // where the quotes, "=" and the bytes that would need a closer look are.
    // Anything else is left to the full path, which reads it the same way.
    // Locals, not members: the attributes written could alias them.
    const char* const text = text_.data();
    const std::size_t size = text_.size();
    std::size_t at = at_;
    std::size_t block = at;
    TagMasks masks{};
    bool fresh = false;
    while (at < size && text[at] == ' ') {
        if (!fresh && (at + 1 - block >= 64 || block == at)) {
            if (size - at < 64) {
                break;
            }
            block = at;
            masks = MasksAt(text + at);
            fresh = true;
        }
        const unsigned from = static_cast<unsigned>(at + 1 - block);
        const std::uint64_t equals = from < 64 ? masks.equals >> from : 0;
        const unsigned nameLength = static_cast<unsigned>(std::countr_zero(equals));
        const unsigned valueFrom = from + nameLength + 2;
        const std::uint64_t closing = valueFrom < 64 ? masks.quote >> valueFrom : 0;
        if (equals == 0 || closing == 0) {
            if (fresh) {
                break; // longer than a block
            }
            block = at; // read the masks again from here
            continue;
        }
        const unsigned valueLength = static_cast<unsigned>(std::countr_zero(closing));
        const std::uint64_t nameBits = (masks.nameBreak >> from) & LowBits(nameLength);
        const std::uint64_t valueBits = (masks.valueBreak >> valueFrom) & LowBits(valueLength);
        if (nameLength == 0 || nameBits != 0 || ((masks.quote >> (valueFrom - 1)) & 1U) == 0 ||
            valueBits != 0) {
            break;
        }
        Attribute& attribute = NextAttribute();
        attribute.name = std::string_view(text + block + from, nameLength);
        attribute.plain = std::string_view(text + block + valueFrom, valueLength);
        attribute.owned = false;
        at = block + valueFrom + valueLength + 1;
        fresh = false;
    }
    at_ = at;
#endif
}

bool XmlScanner::ReadValue(char quote, Attribute& attribute) {
    // Most values are plain: they are used where they lie.
    const std::size_t plainEnd = PlainValueEnd(text_, at_);
    if (plainEnd < text_.size() && text_[plainEnd] == quote) {
        attribute.plain = text_.substr(at_, plainEnd - at_);
        attribute.owned = false;
        at_ = plainEnd + 1;
        return true;
    }
    attribute.owned = true;
    std::string& value = attribute.storage;
    value.clear();
    for (;;) {
        // Copy the plain run up to the next character that needs a look.
        const std::size_t end = PlainValueEnd(text_, at_);
        value.append(text_.substr(at_, end - at_));
        at_ = end;
        if (at_ >= text_.size()) {
            return false;
        }
        const char c = text_[at_];
        if (c == quote) {
            ++at_;
            return true;
        }
        if (c == '"' || c == '\'') {
            value += c; // the other quote
            ++at_;
            continue;
        }
        if (c == '<') {
            return false;
        }
        if (c == '&') {
            if (!ReadReference(value)) {
                return false;
            }
            continue;
        }
        // A line break or tab written plainly reads as a blank, as in any
        // XML reader; CR LF is one line break.
        ++at_;
        if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') {
            ++at_;
        }
        value += ' ';
    }
}

bool XmlScanner::ReadReference(std::string& value) {
    const std::size_t semicolon = text_.find(';', at_);
    if (semicolon == std::string_view::npos || semicolon - at_ > 12) {
        return false;
    }
    const std::string_view name = text_.substr(at_ + 1, semicolon - at_ - 1);
    at_ = semicolon + 1;
    if (name == "lt") {
        value += '<';
    } else if (name == "gt") {
        value += '>';
    } else if (name == "amp") {
        value += '&';
    } else if (name == "apos") {
        value += '\'';
    } else if (name == "quot") {
        value += '"';
    } else if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) {
            return false;
        }
        std::uint32_t code = 0;
        for (const char d : digits) {
            std::uint32_t digit = 0;
            if (d >= '0' && d <= '9') {
                digit = static_cast<std::uint32_t>(d - '0');
            } else if (hex && d >= 'a' && d <= 'f') {
                digit = static_cast<std::uint32_t>(d - 'a' + 10);
            } else if (hex && d >= 'A' && d <= 'F') {
                digit = static_cast<std::uint32_t>(d - 'A' + 10);
            } else {
                return false;
            }
            code = code * (hex ? 16 : 10) + digit;
            if (code > 0x10FFFF) {
                return false;
            }
        }
        if (code == 0) {
            return false;
        }
        AppendCodePoint(value, code);
    } else {
        return false; // no other entity exists without a document type
    }
    return true;
}

} // namespace meterdesk::record
