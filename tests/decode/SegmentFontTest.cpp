// Scope: what the characters of the two segment fonts stand for.
#include "decode/SegmentFont.h"

#include <gtest/gtest.h>

namespace meterdesk::decode {
namespace {

TEST(SegmentFont, DigitFontDrawsDigitsMinusAndOverloadL) {
    EXPECT_EQ(DigitFontGlyph('7'), Glyph::SevenSegmentDigit);
    EXPECT_EQ(DigitFontGlyph('-'), Glyph::MinusSegment);
    EXPECT_EQ(DigitFontGlyph('@'), Glyph::OverloadL);
    EXPECT_EQ(DigitFontGlyph('A'), Glyph::None);
}

TEST(SegmentFont, SymbolFontCharactersStandForTheirSymbols) {
    EXPECT_EQ(SymbolFontGlyph('*'), Glyph::Ohm);
    EXPECT_EQ(SymbolFontGlyph('+'), Glyph::Micro);
    EXPECT_EQ(SymbolFontGlyph('#'), Glyph::DegreeCelsius);
    EXPECT_EQ(SymbolFontGlyph('?'), Glyph::DegreeFahrenheit);
    EXPECT_EQ(SymbolFontGlyph('$'), Glyph::LowBattery);
    EXPECT_EQ(SymbolFontGlyph('"'), Glyph::Hold);
    EXPECT_EQ(SymbolFontGlyph('&'), Glyph::Function5Sign);
    EXPECT_EQ(SymbolFontGlyph(')'), Glyph::Function1Sign);
    EXPECT_EQ(SymbolFontGlyph('('), Glyph::TransistorGainSign);
    EXPECT_EQ(SymbolFontGlyph('!'), Glyph::RecordSign);
    EXPECT_EQ(SymbolFontGlyph('%'), Glyph::BFSign);
    EXPECT_EQ(SymbolFontGlyph('k'), Glyph::Letter);
}

TEST(SegmentFont, UnitTextsReadAsTheirSymbols) {
    EXPECT_EQ(SymbolFontText("k*"), "k\u03A9");
    EXPECT_EQ(SymbolFontText("M*"), "M\u03A9");
    EXPECT_EQ(SymbolFontText("#"), "\u00B0C");
    EXPECT_EQ(SymbolFontText("?"), "\u00B0F");
    EXPECT_EQ(SymbolFontText("mV"), "mV");
    EXPECT_EQ(SymbolFontText(""), "");
}

} // namespace
} // namespace meterdesk::decode
