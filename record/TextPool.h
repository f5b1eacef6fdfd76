#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::record {

// One column's texts, each stored once and named by a small number in the
// order they first came. The index is open addressing over the numbers, each
// slot holding its text's hash and, when short, the text itself, so a lookup
// mostly reads one place. Consecutive rows mostly repeat
// a column's text (the same second, unit, coupling), so the last text found
// is checked first. A pool without an index keeps only that check: for a
// column whose texts come in runs and seldom return (the time of day), where
// the index would cost a cache miss a row and save nothing.
class TextPool {
public:
    explicit TextPool(bool indexed = true) : indexed_(indexed) {}

    std::uint32_t Intern(std::string_view text);
    const std::string& Text(std::uint32_t id) const { return texts_[id]; }
    std::size_t Size() const { return texts_.size(); }

private:
    void Grow();

    // A slot holds a short text itself, so that a lookup reads one place.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t number = 0; // the text's number + 1; 0: the slot is free
        std::uint8_t length = 0;
        char bytes[15] = {};
    };
    bool Holds(const Slot& slot, std::uint32_t hash, std::string_view text) const;
    static void Place(Slot& slot, std::uint32_t hash, std::uint32_t id, std::string_view text);

    std::deque<std::string> texts_; // a deque keeps each text in place
    std::vector<Slot> slots_;
    std::uint32_t last_ = 0;
    std::string lastText_; // a copy at hand: the stored one is far off in memory
    bool indexed_;
};

} // namespace meterdesk::record
