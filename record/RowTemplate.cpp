#include "record/RowTemplate.h"

#include "record/ValueBytes.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace meterdesk::record {

bool RowTemplate::Learn(const std::string_view* names, std::size_t count) {
    count_ = 0;
    if (count == 0 || count > kMaxAttributes) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view lead = i == 0 ? "<ROW " : " ";
        const std::size_t length = lead.size() + names[i].size() + 2;
        if (names[i].empty() || length > prefix_[i].size()) {
            return false;
        }
        prefix_[i].fill('\0');
        std::memcpy(prefix_[i].data(), lead.data(), lead.size());
        std::memcpy(prefix_[i].data() + lead.size(), names[i].data(), names[i].size());
        std::memcpy(prefix_[i].data() + lead.size() + names[i].size(), "=\"", 2);
        length_[i] = static_cast<unsigned>(length);
    }
    count_ = count;
    return true;
}

#if defined(__SSE2__)
namespace {

// Of 64 bytes: where the quotes are, and the bytes a plain short value may
// not hold (controls, "'", "<", "&").
struct ValueMasks {
    std::uint64_t quote;
    std::uint64_t special;
};

ValueMasks MasksOf(const char* bytes) {
    ValueMasks masks{0, 0};
    for (unsigned part = 0; part < 4; ++part) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
        const auto bits = [part](__m128i found) {
            return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(found))} << (16 * part);
        };
        masks.quote |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('"')));
        masks.special |= bits(ValueBreaks(b));
    }
    return masks;
}

} // namespace
#endif

std::optional<std::size_t>
RowTemplate::Read(std::string_view bytes, std::size_t at,
                  std::array<std::string_view, kMaxAttributes>& values) const {
#if defined(__SSE2__)
    // A name is compared 16 bytes at once; values are found in masks of 64
    // bytes, made again only when a value may reach past them, so the
    // masks of a usual row are made twice rather than once a value.
    constexpr std::size_t kValueLook = 32;
    constexpr std::size_t kBlock = 64;
    const char* const text = bytes.data();
    const std::size_t size = bytes.size();
    while (at < size &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n')) {
        ++at;
    }
    std::size_t block = 0;
    ValueMasks masks{0, 0};
    bool masked = false;
    for (std::size_t i = 0; i < count_; ++i) {
        if (size - at < 16 + kBlock) {
            return std::nullopt;
        }
        const __m128i have = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
        const __m128i want = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix_[i].data()));
        const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(have, want)));
        const unsigned needed = (1U << length_[i]) - 1;
        if ((same & needed) != needed) {
            return std::nullopt;
        }
        at += length_[i];
        if (!masked || at + kValueLook > block + kBlock) {
            block = at;
            masks = MasksOf(text + at);
            masked = true;
        }
        const unsigned from = static_cast<unsigned>(at - block);
        const std::uint64_t quotes = (masks.quote >> from) & 0xFFFFFFFFU;
        if (quotes == 0) {
            return std::nullopt; // a value of 32 bytes or more
        }
        const unsigned length = static_cast<unsigned>(std::countr_zero(quotes));
        if (((masks.special >> from) & ((std::uint64_t{1} << length) - 1)) != 0) {
            return std::nullopt;
        }
        values[i] = std::string_view(text + at, length);
        at += length + 1;
    }
    if (count_ == 0 || size - at < 2 || text[at] != '/' || text[at + 1] != '>') {
        return std::nullopt;
    }
    return at + 2;
#else
    (void)bytes;
    (void)at;
    (void)values;
    return std::nullopt;
#endif
}

} // namespace meterdesk::record
