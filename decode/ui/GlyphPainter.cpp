#include "decode/ui/GlyphPainter.h"

#include "decode/SegmentFont.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace meterdesk::decode {

namespace {

// ---- digit font --------------------------------------------------------

// Segment bits a (top), b (top right), c (bottom right), d (bottom),
// e (bottom left), f (top left), g (middle).
constexpr std::uint8_t kA = 1, kB = 2, kC = 4, kD = 8, kE = 16, kF = 32, kG = 64;

std::uint8_t Segments(char c) {
    static constexpr std::uint8_t kDigits[10] = {
        kA | kB | kC | kD | kE | kF, kB | kC,           kA | kB | kD | kE | kG,
        kA | kB | kC | kD | kG,      kB | kC | kF | kG, kA | kC | kD | kF | kG,
        kA | kC | kD | kE | kF | kG, kA | kB | kC,      kA | kB | kC | kD | kE | kF | kG,
        kA | kB | kC | kD | kF | kG,
    };
    switch (DigitFontGlyph(c)) {
    case Glyph::SevenSegmentDigit:
        return kDigits[c - '0'];
    case Glyph::MinusSegment:
        return kG;
    case Glyph::OverloadL:
        return kD | kE | kF;
    default:
        return 0;
    }
}

// A segment with pointed ends (a long hexagon) along its centre line; the
// points leave the outer corners of the digit bevelled, and `gap` keeps
// neighbouring segments apart as on the glass.
QPolygonF HorizontalSegment(double x0, double x1, double y, double t, double gap) {
    const double h = t / 2;
    return QPolygonF({{x0 + gap, y},
                      {x0 + gap + h, y - h},
                      {x1 - gap - h, y - h},
                      {x1 - gap, y},
                      {x1 - gap - h, y + h},
                      {x0 + gap + h, y + h}});
}

QPolygonF VerticalSegment(double x, double y0, double y1, double t, double gap) {
    const double h = t / 2;
    return QPolygonF({{x, y0 + gap},
                      {x + h, y0 + gap + h},
                      {x + h, y1 - gap - h},
                      {x, y1 - gap},
                      {x - h, y1 - gap - h},
                      {x - h, y0 + gap + h}});
}

// ---- symbol font -------------------------------------------------------

// Symbol glyphs are laid out in units of the character height, origin at
// the top left of the line. The line metrics are those of a common sans
// font, so labels sized for such a font fit.
constexpr double kAscent = 0.905;
constexpr double kDescent = 0.212;
constexpr double kCapHeight = 0.716;
constexpr double kBaseline = kAscent;
constexpr double kCapTop = kBaseline - kCapHeight;
constexpr double kSpaceAdvance = 0.278;
// Letter outlines are made at this pixel size and scaled down.
constexpr int kReferencePixels = 100;

// A run of letters: its text and where its reference-size outline goes.
struct LetterRun {
    QString text;
    bool bold;
    QTransform place;
};

struct Layout {
    std::vector<QPainterPath> pieces; // filled one by one: strokes may overlap
    std::vector<bool> letterPiece;    // which pieces are the outlines of `letters`
    std::vector<LetterRun> letters;
    double advance = 0;
};

QPainterPath Stroke(const QPainterPath& centreLine, double width,
                    Qt::PenCapStyle cap = Qt::FlatCap) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::MiterJoin);
    return stroker.createStroke(centreLine);
}

QPainterPath Line(QPointF from, QPointF to) {
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

QPainterPath Filled(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect);
    return path;
}

QPainterPath Disc(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath Ring(QPointF centre, double radius, double width) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return Stroke(path, width);
}

const QFont& LetterFont(bool bold) {
    // Liberation Sans has the widths of the font the labels were sized for.
    static const std::array<QFont, 2> fonts = [] {
        QFont font;
        font.setFamilies({"Liberation Sans", "Arial", "Helvetica", "DejaVu Sans"});
        font.setPixelSize(kReferencePixels);
        font.setHintingPreference(QFont::PreferNoHinting);
        QFont boldFont = font;
        boldFont.setBold(true);
        return std::to_array({font, boldFont});
    }();
    return fonts[bold ? 1 : 0];
}

// The outline of a run of letters at the reference size, with its advance
// and the scale that makes its capitals kCapHeight tall. Shaping text is the
// dear part of painting a label, and the same few captions and units are
// painted over and over, so outlines are kept (the main thread paints).
struct Lettering {
    QPainterPath path;
    double advance;
    double unit;
};

const Lettering& LetteringOf(std::string_view run, bool bold) {
    static std::map<std::pair<std::string, bool>, Lettering> cache;
    constexpr std::size_t kMostKept = 512;
    auto key = std::make_pair(std::string(run), bold);
    if (const auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    if (cache.size() >= kMostKept) {
        cache.clear();
    }
    const QFont& font = LetterFont(bold);
    const QFontMetricsF metrics(font);
    const QString text = QString::fromLatin1(run.data(), static_cast<qsizetype>(run.size()));
    const double capHeight =
        metrics.capHeight() > 0 ? metrics.capHeight() : 0.716 * kReferencePixels;
    Lettering lettering{QPainterPath(), metrics.horizontalAdvance(text), kCapHeight / capHeight};
    lettering.path.addText(0, 0, font, text);
    return cache.emplace(std::move(key), std::move(lettering)).first->second;
}

// Letters and digits as plain lettering, scaled so that capitals are
// kCapHeight tall whichever font was found.
void AddLetters(Layout& layout, std::string_view run, bool bold, double scale = 1,
                double baseline = kBaseline) {
    const Lettering& lettering = LetteringOf(run, bold);
    const double unit = scale * lettering.unit;
    const QTransform place(unit, 0, 0, unit, layout.advance, baseline);
    layout.pieces.push_back(place.map(lettering.path));
    layout.letterPiece.push_back(true);
    layout.letters.push_back(
        {QString::fromLatin1(run.data(), static_cast<qsizetype>(run.size())), bold, place});
    layout.advance += lettering.advance * unit;
}

// One symbol glyph; returns its advance.
double AddSymbol(Layout& layout, Glyph glyph, bool bold) {
    const double w = bold ? 0.14 : 0.09; // stroke width, as the lettering's stems
    const double foot = kBaseline - w / 2;
    const double top = kCapTop + w / 2;
    std::vector<QPainterPath> parts;
    double advance = 0;
    switch (glyph) {
    case Glyph::Ohm: {
        advance = 0.655;
        const QRectF bow(0.08, top, 0.5, 0.5);
        QPainterPath path({0.63, foot});
        path.lineTo(0.45, foot);
        path.lineTo(0.473, 0.695);
        path.arcTo(bow, -55, 290);
        path.lineTo(0.21, foot);
        path.lineTo(0.03, foot);
        parts.push_back(Stroke(path, w));
        break;
    }
    case Glyph::Micro: {
        advance = 0.5;
        const double xHeight = kBaseline - 0.52;
        parts.push_back(Stroke(Line({0.1, xHeight}, {0.1, 1.08}), w));
        QPainterPath bowl({0.1, 0.705});
        bowl.arcTo(QRectF(0.1, foot - 0.3, 0.29, 0.3), 180, 180);
        bowl.lineTo(0.39, xHeight);
        parts.push_back(Stroke(bowl, w));
        parts.push_back(Stroke(Line({0.39, xHeight}, {0.39, kBaseline}), w));
        break;
    }
    case Glyph::DegreeCelsius: {
        advance = 0.75;
        parts.push_back(Ring({0.12, 0.29}, 0.065, w * 0.5));
        const QRectF bow(0.29, top, 0.41, foot - top);
        QPainterPath path;
        path.arcMoveTo(bow, 45);
        path.arcTo(bow, 45, 270);
        parts.push_back(Stroke(path, w));
        break;
    }
    case Glyph::DegreeFahrenheit: {
        advance = 0.72;
        parts.push_back(Ring({0.12, 0.29}, 0.065, w * 0.5));
        QPainterPath path({0.33, kBaseline});
        path.lineTo(0.33, top);
        path.lineTo(0.7, top);
        parts.push_back(Stroke(path, w));
        parts.push_back(Stroke(Line({0.33, 0.54}, {0.63, 0.54}), w));
        break;
    }
    case Glyph::LowBattery: {
        // An upright cell outline with only its lowest bar left.
        advance = 0.343;
        QPainterPath body;
        body.addRect(QRectF(0.05, 0.27, 0.24, 0.63));
        parts.push_back(Stroke(body, 0.05));
        parts.push_back(Filled(QRectF(0.12, 0.18, 0.1, 0.07)));
        parts.push_back(Filled(QRectF(0.11, 0.77, 0.12, 0.08)));
        break;
    }
    case Glyph::Hold: {
        // "H" in a frame, as meters mark a frozen reading.
        advance = 0.543;
        QPainterPath frame;
        frame.addRoundedRect(QRectF(0.05, 0.22, 0.44, 0.66), 0.06, 0.06);
        parts.push_back(Stroke(frame, 0.05));
        parts.push_back(Stroke(Line({0.16, 0.34}, {0.16, 0.76}), 0.08));
        parts.push_back(Stroke(Line({0.38, 0.34}, {0.38, 0.76}), 0.08));
        parts.push_back(Stroke(Line({0.16, 0.55}, {0.38, 0.55}), 0.07));
        break;
    }
    case Glyph::Function5Sign: {
        // A beeper: a dot and three sound arcs.
        advance = 0.78;
        const QPointF centre(0.1, 0.55);
        parts.push_back(Disc(centre, 0.075));
        for (const double r : {0.24, 0.42, 0.6}) {
            const QRectF circle(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
            QPainterPath arc;
            arc.arcMoveTo(circle, -42);
            arc.arcTo(circle, -42, 84);
            parts.push_back(Stroke(arc, 0.075));
        }
        break;
    }
    case Glyph::Function1Sign: {
        // A diode: triangle against a bar on a lead.
        advance = 1.07;
        parts.push_back(Stroke(Line({0.03, 0.55}, {1.04, 0.55}), 0.06));
        QPainterPath triangle;
        triangle.addPolygon(QPolygonF({{0.3, 0.3}, {0.72, 0.55}, {0.3, 0.8}}));
        triangle.closeSubpath();
        parts.push_back(triangle);
        parts.push_back(Filled(QRectF(0.72, 0.3, 0.07, 0.5)));
        break;
    }
    case Glyph::TransistorGainSign: {
        // A transistor: base bar, collector, emitter with its arrow.
        advance = 0.314;
        const double t = 0.045;
        parts.push_back(Filled(QRectF(0.04, 0.35, 0.06, 0.5)));
        QPainterPath collector({0.1, 0.5});
        collector.lineTo(0.27, 0.33);
        collector.lineTo(0.27, 0.18);
        parts.push_back(Stroke(collector, t));
        QPainterPath emitter({0.1, 0.7});
        emitter.lineTo(0.27, 0.87);
        emitter.lineTo(0.27, 1.02);
        parts.push_back(Stroke(emitter, t));
        QPainterPath arrow;
        arrow.addPolygon(QPolygonF({{0.27, 0.87}, {0.17, 0.84}, {0.24, 0.77}}));
        arrow.closeSubpath();
        parts.push_back(arrow);
        break;
    }
    case Glyph::RecordSign:
        advance = 0.594;
        parts.push_back(Ring({0.3, 0.55}, 0.22, 0.06));
        parts.push_back(Disc({0.3, 0.55}, 0.1));
        break;
    case Glyph::BFSign: {
        Layout letters;
        AddLetters(letters, "BF", false, 0.64, 0.547 + 0.64 * kCapHeight / 2);
        parts = std::move(letters.pieces);
        advance = 0.875;
        break;
    }
    default:
        return kSpaceAdvance;
    }
    const QTransform shift = QTransform::fromTranslate(layout.advance, 0);
    for (const QPainterPath& part : parts) {
        layout.pieces.push_back(shift.map(part));
        layout.letterPiece.push_back(false);
    }
    return advance;
}

Layout LayOut(std::string_view text, bool bold) {
    Layout layout;
    std::size_t i = 0;
    while (i < text.size()) {
        const Glyph glyph = SymbolFontGlyph(text[i]);
        if (glyph == Glyph::Letter) {
            std::size_t end = i;
            while (end < text.size() && SymbolFontGlyph(text[end]) == Glyph::Letter) {
                ++end;
            }
            AddLetters(layout, text.substr(i, end - i), bold);
            i = end;
            continue;
        }
        layout.advance += glyph == Glyph::None ? kSpaceAdvance : AddSymbol(layout, glyph, bold);
        ++i;
    }
    return layout;
}

} // namespace

void PaintDigitGlyph(QPainter& painter, const QRectF& cell, char c, const QColor& ink) {
    const std::uint8_t segments = Segments(c);
    if (segments == 0 || cell.isEmpty()) {
        return;
    }
    // Drawn upright in a narrower box, then sheared to lean right.
    const double height = cell.height();
    const double lean = kDigitLean * height;
    const double width = cell.width() - lean;
    const double t = std::min(0.28 * width, 0.1 * height);
    const double gap = std::max(0.5, 0.1 * t);
    const double left = t / 2, right = width - t / 2;
    const double top = t / 2, middle = height / 2, bottom = height - t / 2;

    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const auto add = [&](std::uint8_t bit, const QPolygonF& segment) {
        if ((segments & bit) != 0) {
            path.addPolygon(segment);
            path.closeSubpath();
        }
    };
    add(kA, HorizontalSegment(left, right, top, t, gap));
    add(kB, VerticalSegment(right, top, middle, t, gap));
    add(kC, VerticalSegment(right, middle, bottom, t, gap));
    add(kD, HorizontalSegment(left, right, bottom, t, gap));
    add(kE, VerticalSegment(left, middle, bottom, t, gap));
    add(kF, VerticalSegment(left, top, middle, t, gap));
    add(kG, HorizontalSegment(left, right, middle, t, gap));

    const QTransform shear(1, 0, -kDigitLean, 1, cell.left() + lean, cell.top());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shear.map(path), ink);
    painter.restore();
}

void PaintSymbolText(QPainter& painter, const QRectF& box, std::string_view text,
                     const SymbolTextStyle& style) {
    const Layout layout = LayOut(text, style.bold);
    const double height = style.height;
    const double natural = layout.advance * height;
    if (layout.pieces.empty() || height <= 0) {
        return;
    }
    const double narrow = natural > box.width() && natural > 0 ? box.width() / natural : 1.0;
    const double width = natural * narrow;
    const double line = SymbolLineHeight(height);

    double x = box.left();
    if (style.alignment & Qt::AlignRight) {
        x = box.right() - width;
    } else if (style.alignment & Qt::AlignHCenter) {
        x = box.center().x() - width / 2;
    }
    double y = box.center().y() - line / 2;
    if (style.alignment & Qt::AlignTop) {
        y = box.top();
    } else if (style.alignment & Qt::AlignBottom) {
        y = box.bottom() - line;
    }

    const QTransform place(height * narrow, 0, 0, height, x, y);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < layout.pieces.size(); ++i) {
        if (!style.lettersAsText || !layout.letterPiece[i]) {
            painter.fillPath(place.map(layout.pieces[i]), style.ink);
        }
    }
    if (style.lettersAsText) {
        painter.setPen(style.ink);
        const QTransform outer = painter.worldTransform();
        for (const LetterRun& run : layout.letters) {
            painter.setFont(LetterFont(run.bold));
            painter.setWorldTransform(run.place * place * outer);
            painter.drawText(QPointF(0, 0), run.text);
        }
    }
    painter.restore();
}

double SymbolTextWidth(std::string_view text, double height, bool bold) {
    return LayOut(text, bold).advance * height;
}

double SymbolLineHeight(double height) {
    return (kAscent + kDescent) * height;
}

} // namespace meterdesk::decode
