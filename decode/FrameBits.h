#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace meterdesk::decode {

// The value of a hex digit character; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The 40 flag bits of a frame: positions 2 to 11 of the frame text, four bits
// each, most significant first. Bit k (1 to 40) of position p is character
// 4(p-2)+1 .. 4(p-2)+4 of the bit text.
class FrameBits {
public:
    // A character that is not a hex digit contributes four zero bits.
    explicit FrameBits(std::string_view frameText);

    bool Bit(int k) const {
        const int index = k - 1;
        return ((nibbles_[static_cast<std::size_t>(index / 4)] >> (3 - index % 4)) & 1U) != 0;
    }
    // The value of frame position p (2 to 11).
    std::uint8_t Position(int p) const { return nibbles_[static_cast<std::size_t>(p - 2)]; }
    // The 40 "0"/"1" characters.
    std::string Text() const;

private:
    std::array<std::uint8_t, 10> nibbles_{};
};

} // namespace meterdesk::decode
