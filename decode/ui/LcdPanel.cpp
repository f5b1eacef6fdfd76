#include "decode/ui/LcdPanel.h"

#include "decode/DigitBlanking.h"
#include "decode/ui/GlyphPainter.h"

#include <QHash>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QString>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QWidget>

#include <cstddef>
#include <utility>

namespace meterdesk::decode {

namespace {

enum class Kind : std::uint8_t {
    Digit,  // digit font: the sign and the four digits
    Point,  // a decimal point: a small black square
    Symbols // symbol font: annunciators
};

struct ElementSpec {
    PanelElement element;
    Kind kind;
    int left, top, width, height;
    double fontHeight;
    bool bold;
    const char* caption;
    bool opaque = false; // covers what lies under it with the panel colour
};

using E = PanelElement;
using enum Kind;

// Place and size within the panel, font height and caption of each element,
// as on the meter's glass. Elements that share a place overlay one another.
constexpr ElementSpec kElements[] = {
    {E::LcdFH, Digit, 5, 20, 26, 112, 100, false, "-"},
    {E::LcdDa, Digit, 40, 20, 38, 112, 100, false, "5"},
    {E::LcdDb, Digit, 88, 20, 38, 112, 100, false, "9"},
    {E::LcdDc, Digit, 136, 20, 38, 112, 100, false, "9"},
    {E::LcdDd, Digit, 184, 20, 38, 112, 100, false, "9"},
    {E::LcdP1, Point, 79, 105, 7, 8, 0, false, ""},
    {E::LcdP2, Point, 127, 105, 7, 8, 0, false, ""},
    {E::LcdP3, Point, 176, 105, 7, 8, 0, false, ""},
    {E::LcdAuto, Symbols, 8, 11, 58, 21, 19, true, "AUTO"},
    {E::lcdManual, Symbols, 8, 11, 70, 21, 19, true, "Manual"},
    {E::LCDRS, Symbols, 70, 11, 80, 21, 19, true, "Connect", true},
    {E::LCD232C, Symbols, 98, -1, 4, 16, 14, true, " ", true},
    {E::LcdAC, Symbols, 6, 38, 31, 23, 21, true, "AC"},
    {E::LcdACDC, Symbols, 5, 38, 31, 23, 21, true, "AC"},
    {E::LCDTRMST, Symbols, 230, 10, 6, 21, 19, true, ""},
    {E::LCDTRMS, Symbols, 241, 16, 4, 14, 12, true, ""},
    {E::LcdDc1, Symbols, 5, 38, 32, 23, 21, true, "DC"},
    {E::lcdhFE, Symbols, 5, 94, 29, 16, 14, true, "hFE"},
    {E::lcdMax, Symbols, 5, 110, 33, 16, 14, true, "MAX"},
    {E::lcdMin, Symbols, 5, 110, 29, 16, 14, true, "MIN"},
    {E::LCDBF, Symbols, 136, 8, 21, 27, 24, false, "%"},
    {E::LCDHold, Symbols, 160, -2, 19, 39, 35, false, "\""},
    {E::LCDRec, Symbols, 184, 3, 19, 36, 32, false, "!"},
    {E::LCDBATT, Symbols, 208, 0, 12, 39, 35, false, "$"},
    {E::LcdRPM, Symbols, 230, 11, 46, 21, 19, true, "RPM"},
    {E::LCDBT, Symbols, 232, 33, 11, 39, 35, false, "("},
    {E::LCDCS, Symbols, 248, 33, 24, 36, 32, false, "#"},
    {E::LCDFS, Symbols, 248, 33, 23, 36, 32, false, "?"},
    {E::LCDDI, Symbols, 248, 33, 31, 32, 29, false, ")"},
    {E::LCDFm, Symbols, 248, 31, 25, 36, 32, false, "&"},
    {E::LCDk, Symbols, 238, 55, 14, 30, 27, false, "k"},
    {E::LCDM1, Symbols, 230, 57, 20, 27, 24, false, "M"},
    {E::LCDohm, Symbols, 256, 54, 19, 32, 29, false, "*"},
    {E::LCDHz, Symbols, 248, 58, 29, 27, 24, false, "Hz"},
    {E::LCDu, Symbols, 240, 75, 16, 36, 32, false, "+"},
    {E::Lcdm, Symbols, 232, 81, 20, 27, 24, false, "m"},
    {E::LCDn, Symbols, 240, 82, 13, 27, 24, false, "n"},
    {E::LCDA, Symbols, 256, 82, 16, 27, 24, false, "A"},
    {E::LCDF, Symbols, 256, 82, 15, 27, 24, false, "F"},
    {E::LcdV, Symbols, 256, 83, 16, 27, 24, false, "V"},
};
static_assert(std::size(kElements) == kPanelElementCount);

constexpr PanelElement kDigits[] = {E::LcdDa, E::LcdDb, E::LcdDc, E::LcdDd};

// Where the segments sit in a digit label at font height 100: their bottom
// lines up with the bottom of the decimal points, their middle with the
// minus segment, clear of the annunciators above and beside them.
constexpr double kDigitTop = 24;
constexpr double kDigitHeight = 69;

// One element of the glass: paints its caption in its font, or a point.
class ElementWidget : public QWidget {
public:
    ElementWidget(const ElementSpec& spec, QWidget* parent)
        : QWidget(parent), spec_(spec), caption_(spec.caption) {
        setObjectName(QString::fromLatin1(PanelElementName(spec.element)));
        setGeometry(spec.left, spec.top, spec.width, spec.height);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        if (spec.opaque) {
            setAutoFillBackground(true);
            setBackgroundRole(QPalette::Base);
        }
    }

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) {
        if (caption != caption_) {
            caption_ = std::move(caption);
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRectF box = rect();
        switch (spec_.kind) {
        case Digit: {
            const double scale = spec_.fontHeight / 100;
            QRectF cell(3, kDigitTop * scale, box.width() - 4, kDigitHeight * scale);
            if (spec_.element == E::LcdFH) {
                // The sign's label is narrow: widen the cell by the lean and
                // the pointed ends so that the minus spans the whole label.
                const double lean = kDigitLean * cell.height();
                cell.setLeft(-lean / 2 - 2);
                cell.setRight(box.width() + lean / 2 + 2);
            }
            for (const char c : caption_) {
                PaintDigitGlyph(painter, cell, c);
            }
            break;
        }
        case Point:
            painter.fillRect(box, Qt::black);
            break;
        case Symbols:
            PaintSymbolText(painter, box, caption_, {spec_.fontHeight, spec_.bold});
            break;
        }
    }

private:
    const ElementSpec& spec_;
    std::string caption_;
};

} // namespace

LcdPanel::LcdPanel(const PanelState& start, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedSize(285, 138);
    setAutoFillBackground(true);
    // The window colour (white), not the button face around it.
    setBackgroundRole(QPalette::Base);
    for (const ElementSpec& spec : kElements) {
        elements_[static_cast<std::size_t>(spec.element)] = new ElementWidget(spec, this);
    }
    Draw(start);
}

void LcdPanel::Draw(const PanelState& panel) {
    // The digit labels are left to the blanking rules, which start from all four.
    for (const ElementSpec& spec : kElements) {
        if (spec.kind != Digit || spec.element == E::LcdFH) {
            Element(spec.element)->setHidden(!panel.Shown(spec.element));
        }
    }
    const std::array<bool, 4> shown = ShownDigits(panel);
    for (std::size_t i = 0; i < std::size(kDigits); ++i) {
        auto* digit = static_cast<ElementWidget*>(Element(kDigits[i]));
        digit->SetCaption(panel.digitCaptions[i]);
        digit->setHidden(!shown[i]);
    }
}

bool LcdPanel::ElementShown(PanelElement element) const {
    return !Element(element)->isHidden();
}

std::string LcdPanel::Caption(PanelElement element) const {
    return static_cast<const ElementWidget*>(Element(element))->Caption();
}

QWidget* LcdPanel::Element(PanelElement element) const {
    return elements_[static_cast<std::size_t>(element)];
}

namespace {

// The bar graph keeps the style's picture of each value it has shown and
// repaints from it. The style draws the bar's antialiased edges in enough
// pieces that the painter hands them to a thread pool, which on every value
// change costs more than the drawing; the bar has only 61 values.
class BarGraph final : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (isTextVisible()) { // a text may change without the value
            QProgressBar::paintEvent(event);
            return;
        }
        QStyleOptionProgressBar option;
        initStyleOption(&option);
        const qreal ratio = devicePixelRatioF();
        const Look look{size(),    ratio,  palette().cacheKey(), option.state, minimum(),
                        maximum(), style()};
        if (look != look_) {
            pictures_.clear(); // another size, palette, state, range or style draws anew
            look_ = look;
        }
        auto picture = pictures_.find(value());
        if (picture == pictures_.end()) {
            QPixmap drawn(size() * ratio);
            drawn.setDevicePixelRatio(ratio);
            drawn.fill(Qt::transparent);
            QPainter painter(&drawn);
            style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, this);
            painter.end();
            picture = pictures_.insert(value(), drawn);
        }
        QPainter(this).drawPixmap(0, 0, *picture);
    }

private:
    struct Look {
        QSize size;
        qreal ratio = 0;
        qint64 palette = 0;
        QStyle::State state;
        int minimum = 0;
        int maximum = 0;
        const QStyle* style = nullptr;
        bool operator==(const Look&) const = default;
    };
    Look look_;
    QHash<int, QPixmap> pictures_;
};

} // namespace

QProgressBar* MakeBarGraph(QWidget* window) {
    auto* bar = new BarGraph(window);
    bar->setObjectName(QStringLiteral("PBar2"));
    bar->setGeometry(3, 169, 284, 12);
    bar->setRange(0, 60);
    bar->setValue(30);
    bar->setTextVisible(false);
    return bar;
}

} // namespace meterdesk::decode
