#include "decode/SegmentFont.h"

namespace meterdesk::decode {

Glyph DigitFontGlyph(char c) {
    if (c >= '0' && c <= '9') {
        return Glyph::SevenSegmentDigit;
    }
    if (c == '-') {
        return Glyph::MinusSegment;
    }
    if (c == '@') {
        return Glyph::OverloadL;
    }
    return Glyph::None;
}

Glyph SymbolFontGlyph(char c) {
    switch (c) {
    case '*':
        return Glyph::Ohm;
    case '+':
        return Glyph::Micro;
    case '#':
        return Glyph::DegreeCelsius;
    case '?':
        return Glyph::DegreeFahrenheit;
    case '$':
        return Glyph::LowBattery;
    case '"':
        return Glyph::Hold;
    case '&':
        return Glyph::Function5Sign;
    case ')':
        return Glyph::Function1Sign;
    case '(':
        return Glyph::TransistorGainSign;
    case '!':
        return Glyph::RecordSign;
    case '%':
        return Glyph::BFSign;
    default:
        return c > ' ' && c < 0x7F ? Glyph::Letter : Glyph::None;
    }
}

namespace {

std::string_view GlyphText(Glyph glyph) {
    switch (glyph) {
    case Glyph::Ohm:
        return "\u03A9";
    case Glyph::Micro:
        return "\u00B5";
    case Glyph::DegreeCelsius:
        return "\u00B0C";
    case Glyph::DegreeFahrenheit:
        return "\u00B0F";
    case Glyph::LowBattery:
        return "\U0001FAAB"; // low battery
    case Glyph::Hold:
        return "H";
    case Glyph::Function5Sign:
        return "\u2022)))"; // beeper
    case Glyph::Function1Sign:
        return "\u25B6|"; // diode
    case Glyph::TransistorGainSign:
        return "hFE";
    case Glyph::RecordSign:
        return "R";
    case Glyph::BFSign:
        return "BF";
    default:
        return {};
    }
}

} // namespace

std::string SymbolFontText(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const Glyph glyph = SymbolFontGlyph(c);
        if (glyph == Glyph::Letter || glyph == Glyph::None) {
            shown += c;
        } else {
            shown += GlyphText(glyph);
        }
    }
    return shown;
}

std::string UnitSymbolText(std::string_view unit) {
    if (unit.size() > 1 && unit.front() == 'u') {
        return std::string(GlyphText(Glyph::Micro)) + SymbolFontText(unit.substr(1));
    }
    return SymbolFontText(unit);
}

} // namespace meterdesk::decode
