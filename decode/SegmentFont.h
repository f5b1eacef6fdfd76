#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meterdesk::decode {

// What a character of the two LCD segment fonts stands for. The replica's
// digits and sign use the digit font; annunciators, unit texts and a few
// labels use the symbol font, in which most characters are plain lettering
// and a few stand for display symbols.
enum class Glyph : std::uint8_t {
    None,   // the font draws nothing for this character
    Letter, // LCD-style lettering of the character itself
    SevenSegmentDigit,
    MinusSegment,
    OverloadL, // seven-segment L, the third digit at overload
    Ohm,
    Micro,
    DegreeCelsius,
    DegreeFahrenheit,
    LowBattery,
    Hold,
    Function5Sign,
    Function1Sign,
    TransistorGainSign,
    RecordSign,
    BFSign,
};

// The digit font ("SEGX-A3"): digits, the minus segment and the overload L.
Glyph DigitFontGlyph(char c);

// The symbol font ("SEGX-A2"): the symbol characters, else lettering.
Glyph SymbolFontGlyph(char c);

// A symbol font text as a person reads it, in UTF-8: "k*" is "kΩ", "#" is
// "°C". For places that show text without the painted glyphs (tooltips,
// plain-text exports of what is on screen); stored texts never change.
std::string SymbolFontText(std::string_view text);

// A unit text as a person reads it, in UTF-8: the symbol characters as
// above, and the micro prefix, which decoding writes as a plain "u" ("uA",
// "uF"), as the micro sign: "k*" is "kΩ", "uA" is "µA", "#" is "°C".
std::string UnitSymbolText(std::string_view unit);

} // namespace meterdesk::decode
