#include "decode/FrameBits.h"

namespace meterdesk::decode {

FrameBits::FrameBits(std::string_view frameText) {
    for (std::size_t i = 0; i < nibbles_.size() && i + 1 < frameText.size(); ++i) {
        const int value = HexDigitValue(frameText[i + 1]);
        nibbles_[i] = static_cast<std::uint8_t>(value < 0 ? 0 : value);
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
