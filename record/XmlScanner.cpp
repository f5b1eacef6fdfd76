#include "record/XmlScanner.h"

#include "base/Utf8.h"
#include "record/ValueBytes.h"

#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace meterdesk::record {

namespace {

// What each byte is to the scanner; tables keep the inner loops short.
enum : std::uint8_t { kBlank = 1, kNameEnd = 2, kValueStop = 4 };

// Every fault is found within this many bytes of where the scan stands (a
// reference is the longest thing looked ahead at).
constexpr std::size_t kCutShort = 16;

constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (const char c : {' ', '\t', '\r', '\n'}) {
        classes[static_cast<unsigned char>(c)] |= kBlank | kNameEnd;
    }
    // A blank in a value is read as a space: only the other blanks need a
    // look (long values such as a change log are mostly numbers and spaces).
    for (const char c : {'\t', '\r', '\n'}) {
        classes[static_cast<unsigned char>(c)] |= kValueStop;
    }
    for (const char c : {'=', '>', '<', '"', '\'', '&'}) {
        classes[static_cast<unsigned char>(c)] |= kNameEnd;
    }
    for (const char c : {'<', '&', '"', '\''}) {
        classes[static_cast<unsigned char>(c)] |= kValueStop;
    }
    return classes;
}();

bool Is(char c, std::uint8_t what) {
    return (kClasses[static_cast<unsigned char>(c)] & what) != 0;
}

bool IsBlank(char c) {
    return Is(c, kBlank);
}

// Characters that end a name: blanks and the tag's punctuation. "/" ends a
// name only where "/>" closes the tag.
bool EndsName(std::string_view text, std::size_t at) {
    const char c = text[at];
    if (Is(c, kNameEnd)) {
        return true;
    }
    return c == '/' && at + 1 < text.size() && text[at + 1] == '>';
}

bool EndsValue(std::string_view text, std::size_t at) {
    return Is(text[at], kValueStop);
}

#if defined(__SSE2__)
// Bytes that may end a name, sixteen at a time: every byte up to "/" (the
// blanks, quotes, "&" and "/") and "<", "=", ">". Digits, letters and ":"
// never do.
unsigned NameStopCandidates(__m128i bytes) {
    const __m128i upToSlash = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8('/')), bytes);
    const __m128i fromLess = _mm_sub_epi8(bytes, _mm_set1_epi8('<'));
    const __m128i angles = _mm_cmpeq_epi8(_mm_min_epu8(fromLess, _mm_set1_epi8(2)), fromLess);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(upToSlash, angles)));
}

// Bytes that may end a plain value: every byte up to "'" but the space
// (controls, quotes, "&"), and "<".
unsigned ValueStopCandidates(__m128i bytes) {
    const __m128i upToQuote = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8('\'')), bytes);
    const __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
    const __m128i less = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<'));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_andnot_si128(space, upToQuote), less)));
}
#endif

// The first position from `at` on where `ends` holds, or the text's size.
// Sixteen bytes are looked at a step for the few that may end the run;
// each of those is then judged by `ends` itself.
template <typename Candidates, typename Ends>
[[gnu::always_inline]] inline std::size_t FindEnd(std::string_view text, std::size_t at,
                                                  Candidates candidates, Ends ends) {
#if defined(__SSE2__)
    while (text.size() - at >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        for (unsigned mask = candidates(bytes); mask != 0; mask &= mask - 1) {
            const std::size_t found = at + static_cast<std::size_t>(std::countr_zero(mask));
            if (ends(text, found)) {
                return found;
            }
        }
        at += 16;
    }
#else
    (void)candidates;
#endif
    while (at < text.size() && !ends(text, at)) {
        ++at;
    }
    return at;
}

// Lambdas rather than function pointers, and all of it inlined: names and
// values are mostly a few bytes, where a call would cost more than the scan.
[[gnu::always_inline]] inline std::size_t NameEnd(std::string_view text, std::size_t at) {
    return FindEnd(
        text, at, [](auto bytes) { return NameStopCandidates(bytes); },
        [](std::string_view t, std::size_t i) { return EndsName(t, i); });
}

[[gnu::always_inline]] inline std::size_t PlainValueEnd(std::string_view text, std::size_t at) {
    return FindEnd(
        text, at, [](auto bytes) { return ValueStopCandidates(bytes); },
        [](std::string_view t, std::size_t i) { return EndsValue(t, i); });
}

#if defined(__SSE2__)
// Where, in 64 bytes, the bytes are that matter to an attribute of the
// usual form. The breaks are a superset: a byte in them sends the attribute
// to the full path, never the other way round.
struct TagMasks {
    std::uint64_t quote = 0;      // '"'
    std::uint64_t equals = 0;     // '='
    std::uint64_t nameBreak = 0;  // what may end a name: blanks, controls, quotes, < > &
    std::uint64_t valueBreak = 0; // what may end a plain value: controls, ' < &
};

TagMasks MasksAt(const char* bytes) {
    TagMasks masks;
    for (unsigned part = 0; part < 4; ++part) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const auto bits = [part](__m128i found) {
            return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(found))} << (16 * part);
        };
        const __m128i quote = _mm_cmpeq_epi8(b, _mm_set1_epi8('"'));
        const __m128i valueBreak = ValueBreaks(b);
        masks.quote |= bits(quote);
        masks.equals |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('=')));
        masks.valueBreak |= bits(valueBreak);
        // A name also ends at a blank, a quote or ">".
        masks.nameBreak |=
            bits(_mm_or_si128(_mm_or_si128(valueBreak, _mm_cmpeq_epi8(b, _mm_set1_epi8(' '))),
                              _mm_or_si128(quote, _mm_cmpeq_epi8(b, _mm_set1_epi8('>')))));
    }
    return masks;
}

std::uint64_t LowBits(unsigned count) {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}
#endif

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

XmlScanner::Event XmlScanner::NeedMore() {
    at_ = constructStart_;
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
            if (!ReadTag(empty)) {
                return Fail();
            }
            rootSeen_ = true;
            if (empty) {
                return Event::EmptyTag;
            }
            open_.emplace_back(name_);
            return Event::StartTag;
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
    std::size_t start = at_;
    at_ = NameEnd(text_, at_);
    name_ = text_.substr(start, at_ - start);
    if (name_.empty()) {
        return false;
    }
    attributeCount_ = 0;
    for (;;) {
        ReadUsualAttributes();
        const std::size_t before = at_;
        SkipBlanks();
        if (at_ >= text_.size()) {
            return false;
        }
        if (text_[at_] == '>') {
            ++at_;
            return true;
        }
        if (text_[at_] == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '>') {
            at_ += 2;
            empty = true;
            return true;
        }
        if (at_ == before) {
            return false; // attributes are set apart by blanks
        }
        start = at_;
        at_ = NameEnd(text_, at_);
        const std::string_view attributeName = text_.substr(start, at_ - start);
        SkipBlanks();
        if (attributeName.empty() || at_ >= text_.size() || text_[at_] != '=') {
            return false;
        }
        ++at_;
        SkipBlanks();
        if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) {
            return false;
        }
        const char quote = text_[at_++];
        Attribute& attribute = NextAttribute();
        attribute.name = attributeName;
        if (!ReadValue(quote, attribute)) {
            return false;
        }
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
