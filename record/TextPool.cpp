#include "record/TextPool.h"

#include <algorithm>
#include <cstring>

namespace meterdesk::record {

namespace {

constexpr std::size_t kFirstSlots = 64;

// Texts are short (at most 20 characters): eight bytes at a time, each
// step a multiply and a fold.
std::uint32_t HashOf(std::string_view text) {
    constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15ULL;
    std::uint64_t hash = text.size() * kMultiplier;
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    if (at < text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, text.size() - at);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

} // namespace

std::uint32_t TextPool::Intern(std::string_view text) {
    if (!texts_.empty() && lastText_ == text) {
        return last_;
    }
    lastText_.assign(text);
    if (!indexed_) {
        last_ = static_cast<std::uint32_t>(texts_.size());
        texts_.emplace_back(text);
        return last_;
    }
    // At most half the slots are taken, so a free one is always near.
    if ((texts_.size() + 1) * 2 > slots_.size()) {
        Grow();
    }
    const std::uint32_t hash = HashOf(text);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.number == 0) {
            const auto id = static_cast<std::uint32_t>(texts_.size());
            texts_.emplace_back(text);
            Place(slot, hash, id, text);
            last_ = id;
            return id;
        }
        if (Holds(slot, hash, text)) {
            last_ = slot.number - 1;
            return last_;
        }
    }
}

bool TextPool::Holds(const Slot& slot, std::uint32_t hash, std::string_view text) const {
    if (slot.hash != hash) {
        return false;
    }
    if (text.size() <= sizeof slot.bytes) {
        return slot.length == text.size() &&
               (text.empty() || std::memcmp(slot.bytes, text.data(), text.size()) == 0);
    }
    return texts_[slot.number - 1] == text;
}

void TextPool::Place(Slot& slot, std::uint32_t hash, std::uint32_t id, std::string_view text) {
    slot.hash = hash;
    slot.number = id + 1;
    // A long text is compared where it is stored; its length here is never
    // that of a short one.
    slot.length = static_cast<std::uint8_t>(std::min(text.size(), sizeof slot.bytes + 1));
    if (!text.empty() && text.size() <= sizeof slot.bytes) {
        std::memcpy(slot.bytes, text.data(), text.size());
    }
}

void TextPool::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? kFirstSlots : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.number == 0) {
            continue;
        }
        std::size_t at = slot.hash & mask;
        while (slots_[at].number != 0) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

} // namespace meterdesk::record
