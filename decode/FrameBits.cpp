#include "decode/FrameBits.h"

#include <algorithm>

namespace meterdesk::decode {

namespace {

// Each character's four bits; zero for a character that is not a hex digit.
constexpr std::array<std::uint8_t, 256> kNibbles = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c) {
        const int value = HexDigitValue(static_cast<char>(c));
        table[c] = static_cast<std::uint8_t>(value < 0 ? 0 : value);
    }
    return table;
}();

} // namespace

FrameBits::FrameBits(std::string_view frameText) {
    const std::size_t count =
        frameText.empty() ? 0 : std::min(nibbles_.size(), frameText.size() - 1);
    for (std::size_t i = 0; i < count; ++i) {
        nibbles_[i] = kNibbles[static_cast<unsigned char>(frameText[i + 1])];
    }
}

std::string FrameBits::Text() const {
    std::string text;
    text.reserve(40);
    for (int k = 1; k <= 40; ++k) {
        text.push_back(Bit(k) ? '1' : '0');
    }
    return text;
}

} // namespace meterdesk::decode
