#pragma once

// How the scanner finds the bytes that matter in names and values: by a
// table of byte classes, and sixteen or sixty-four bytes at a step where the
// processor has SSE2.
#include "record/ValueBytes.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace meterdesk::record::xml {

// What each byte is to the scanner; tables keep the inner loops short.
enum : std::uint8_t { kBlank = 1, kNameEnd = 2, kValueStop = 4 };

// Every fault is found within this many bytes of where the scan stands (a
// reference is the longest thing looked ahead at).
inline constexpr std::size_t kCutShort = 16;

inline constexpr std::array<std::uint8_t, 256> kClasses = [] {
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

inline bool Is(char c, std::uint8_t what) {
    return (kClasses[static_cast<unsigned char>(c)] & what) != 0;
}

inline bool IsBlank(char c) {
    return Is(c, kBlank);
}

// Characters that end a name: blanks and the tag's punctuation. "/" ends a
// name only where "/>" closes the tag.
inline bool EndsName(std::string_view text, std::size_t at) {
    const char c = text[at];
    if (Is(c, kNameEnd)) {
        return true;
    }
    return c == '/' && at + 1 < text.size() && text[at + 1] == '>';
}

inline bool EndsValue(std::string_view text, std::size_t at) {
    return Is(text[at], kValueStop);
}

#if defined(__SSE2__)
// Bytes that may end a name, sixteen at a time: every byte up to "/" (the
// blanks, quotes, "&" and "/") and "<", "=", ">". Digits, letters and ":"
// never do.
inline unsigned NameStopCandidates(__m128i bytes) {
    const __m128i upToSlash = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8('/')), bytes);
    const __m128i fromLess = _mm_sub_epi8(bytes, _mm_set1_epi8('<'));
    const __m128i angles = _mm_cmpeq_epi8(_mm_min_epu8(fromLess, _mm_set1_epi8(2)), fromLess);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(upToSlash, angles)));
}

// Bytes that may end a plain value: every byte up to "'" but the space
// (controls, quotes, "&"), and "<".
inline unsigned ValueStopCandidates(__m128i bytes) {
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

inline TagMasks MasksAt(const char* bytes) {
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

inline std::uint64_t LowBits(unsigned count) {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}
#endif

} // namespace meterdesk::record::xml
