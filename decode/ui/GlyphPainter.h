#pragma once

#include <QColor>
#include <QRectF>
#include <Qt>

#include <string_view>

class QPainter;

namespace meterdesk::decode {

// Paints the two LCD segment fonts as vector shapes, so that the meter's
// fonts need not be installed and everything scales cleanly with the
// painter's transform and the screen's device pixel ratio. Segments and
// symbols are drawn; lettering takes the outlines of an installed sans font
// (Liberation Sans, else Arial or DejaVu Sans). What each character stands
// for comes from SegmentFont.h. Painting is antialiased and leaves the
// painter's state as it was.

// Digits lean right like a meter's: the top edge is shifted right by this
// share of the height against the bottom edge.
inline constexpr double kDigitLean = 0.1;

// Digit font: paints '0'..'9' as seven slanted, bevelled segments, '-' as the
// minus segment and '@' as the seven-segment L. The segments fill `cell`:
// the bottom left and top right corners touch it. Any other character paints
// nothing.
void PaintDigitGlyph(QPainter& painter, const QRectF& cell, char c,
                     const QColor& ink = QColor(Qt::black));

// How a symbol-font text is painted. `height` is the character height in
// pixels, as a font height: capitals are about 0.72 of it, and a line needs
// SymbolLineHeight(height).
struct SymbolTextStyle {
    double height = 14;
    bool bold = false;
    QColor ink = QColor(Qt::black);
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    // Lettering drawn as text rather than as outlines, so that a PDF of a
    // printed report can be searched and copied; symbols stay shapes.
    bool lettersAsText = false;
};

// Symbol font: paints `text` in `box`, symbol characters as their symbols
// (ohm, micro, degrees, battery, hold, ...) and everything else as sans-serif
// lettering. A text wider than the box is narrowed to fit, never cut.
void PaintSymbolText(QPainter& painter, const QRectF& box, std::string_view text,
                     const SymbolTextStyle& style);

// The width `text` takes when painted at `height` (before any narrowing), so
// that a label or a column can be sized to it.
double SymbolTextWidth(std::string_view text, double height, bool bold = false);

// The height of one line of symbol text at character height `height`.
double SymbolLineHeight(double height);

} // namespace meterdesk::decode
