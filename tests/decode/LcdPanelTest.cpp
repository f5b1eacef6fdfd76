// Scope: the LCD replica's elements, digit blanking on decoded frames, and its glyph painting.
#include "decode/ui/LcdPanel.h"

#include "decode/PanelState.h"
#include "decode/ui/GlyphPainter.h"
#include "tests/support/DecodingChain.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace meterdesk::decode {
namespace {

using testing::DecodingChain;

constexpr PanelElement kDigits[] = {PanelElement::LcdDa, PanelElement::LcdDb, PanelElement::LcdDc,
                                    PanelElement::LcdDd};
constexpr PanelElement kPoints[] = {PanelElement::LcdP1, PanelElement::LcdP2, PanelElement::LcdP3};

bool IsDigit(PanelElement element) {
    return element == PanelElement::LcdDa || element == PanelElement::LcdDb ||
           element == PanelElement::LcdDc || element == PanelElement::LcdDd;
}

std::vector<PanelElement> AllElements() {
    std::vector<PanelElement> all;
    for (std::size_t i = 0; i < kPanelElementCount; ++i) {
        all.push_back(static_cast<PanelElement>(i));
    }
    return all;
}

// What a person reads off the glass: the sign, each digit place ('_' when
// blank), and the decimal points.
std::string Reading(const LcdPanel& panel) {
    std::string reading = panel.ElementShown(PanelElement::LcdFH) ? "-" : " ";
    for (std::size_t i = 0; i < 4; ++i) {
        reading += panel.ElementShown(kDigits[i]) ? panel.Caption(kDigits[i]) : "_";
        if (i < 3 && panel.ElementShown(kPoints[i])) {
            reading += '.';
        }
    }
    return reading;
}

TEST(LcdPanel, BuildsNamedElementsAndDrawsTheStartState) {
    LcdPanel panel;
    EXPECT_EQ(panel.objectName(), "Panel1");
    EXPECT_EQ(panel.size(), QSize(285, 138));
    for (PanelElement element : AllElements()) {
        const QString name = QString::fromLatin1(PanelElementName(element));
        EXPECT_EQ(panel.findChild<QWidget*>(name), panel.Element(element)) << name.toStdString();
        EXPECT_EQ(panel.ElementShown(element), element <= PanelElement::LcdDd)
            << name.toStdString();
    }
    EXPECT_EQ(Reading(panel), "-5999");
    EXPECT_EQ(panel.Element(PanelElement::LCDHold)->geometry(), QRect(160, -2, 19, 39));

    PanelState start;
    start.digitCaptions[0] = "3";
    EXPECT_EQ(Reading(LcdPanel(start)), "-3999");
}

TEST(LcdPanel, EveryOtherElementFollowsOnlyItsOwnFlag) {
    LcdPanel panel;
    for (PanelElement lit : AllElements()) {
        if (IsDigit(lit)) {
            continue;
        }
        PanelState state;
        state.Hide(PanelElement::LcdFH);
        state.Show(lit);
        panel.Draw(state);
        for (PanelElement element : AllElements()) {
            if (!IsDigit(element)) {
                EXPECT_EQ(panel.ElementShown(element), element == lit)
                    << PanelElementName(lit) << " lit, " << PanelElementName(element);
            }
        }
    }
}

struct FrameCase {
    const char* frame;
    const char* reading;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.frame;
}

class PanelDigits : public ::testing::TestWithParam<FrameCase> {};

TEST_P(PanelDigits, ShowsTheDigitsAMeterWould) {
    DecodingChain chain;
    LcdPanel panel;
    chain.decoder.handOffs.PanelChanged = [&] { panel.Draw(chain.panel); };
    ASSERT_TRUE(chain.DecodeText(GetParam().frame));
    EXPECT_EQ(Reading(panel), GetParam().reading);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, PanelDigits,
    ::testing::Values(FrameCase{"A30007B00AD", " ___7"},  // no point: leading zeros blank
                      FrameCase{"A30000B00AD", " ___0"},  // the last place always stays
                      FrameCase{"A00123B00AD", " 0.123"}, // P1 keeps the zero
                      FrameCase{"A20012B00AD", " __1.2"}, // P3
                      FrameCase{"A10012B00AD", " _0.12"}, // P2
                      FrameCase{"A000015008D", " __0_"},  // function 5 reads in place three
                      FrameCase{"A11234B50AD", "-_0.@_"}, // overload with P2 and sign
                      FrameCase{"A11234B40AD", "-12.34"}, // the worked examples
                      FrameCase{"A200003102D", " _0.@_"}));

// Renders the panel at twice the pixel density, as on a high-DPI screen, and
// saves it in the build tree (wherever the test is started from) for a look.
QImage Render(LcdPanel& panel, const char* name) {
    const qreal ratio = 2;
    QImage image(panel.size() * ratio, QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    panel.render(&image);
    const QDir out(QStringLiteral(QT_TESTCASE_BUILDDIR));
    image.save(out.filePath(QString("LcdPanel_%1.png").arg(name)));
    return image;
}

int DarkPixels(const QImage& image, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            dark += qGray(image.pixel(x, y)) < 96 ? 1 : 0;
        }
    }
    return dark;
}

// The segments a (top), b, c, d, e, f, g (middle) inked in a digit place of
// `image`, whose full "8" covers `eight`: each is sampled at its middle,
// along the digits' lean.
std::string InkedSegments(const QImage& image, const QRect& eight) {
    const double height = eight.height();
    const double lean = kDigitLean * height;
    const double width = eight.width() - lean;
    const double t = std::min(0.28 * width, 0.1 * height);
    const std::pair<double, double> middles[] = {
        {width / 2, t / 2},          {width - t / 2, height / 4}, {width - t / 2, 3 * height / 4},
        {width / 2, height - t / 2}, {t / 2, 3 * height / 4},     {t / 2, height / 4},
        {width / 2, height / 2}};
    std::string inked;
    for (std::size_t segment = 0; segment < 7; ++segment) {
        const auto [u, v] = middles[segment];
        const QPoint at(static_cast<int>(eight.left() + lean * (1 - v / height) + u),
                        static_cast<int>(eight.top() + v));
        if (DarkPixels(image, QRect(at - QPoint(1, 1), QSize(3, 3))) == 9) {
            inked += static_cast<char>('a' + segment);
        }
    }
    return inked;
}

// Where each digit place's ink lies when it shows "8".
std::vector<QRect> DigitPlaces(const QImage& eights) {
    std::vector<QRect> places;
    const LcdPanel layout;
    for (const PanelElement digit : kDigits) {
        const QRect area(layout.Element(digit)->geometry().topLeft() * 2,
                         layout.Element(digit)->geometry().size() * 2);
        QRect ink;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (qGray(eights.pixel(x, y)) < 96) {
                    ink |= QRect(x, y, 1, 1);
                }
            }
        }
        places.push_back(ink);
    }
    return places;
}

TEST(LcdPanelPicture, RendersTheWorkedExamplesAndTheAnnunciators) {
    PanelState eights;
    eights.digitCaptions = {"8", "8", "8", "8"};
    LcdPanel allLit(eights);
    const std::vector<QRect> places = DigitPlaces(Render(allLit, "eights"));
    // The segments each digit place lights: "1" "2" "3" "4", and "0" "L".
    const std::vector<std::pair<const char*, std::array<const char*, 4>>> frames{
        {"A11234B40AD", {"bc", "abdeg", "abcdg", "bcfg"}},
        {"A200003102D", {"", "abcdef", "def", ""}}};
    for (const auto& [frame, segments] : frames) {
        DecodingChain chain;
        ASSERT_TRUE(chain.DecodeText(frame));
        LcdPanel panel(chain.panel);
        const QImage image = Render(panel, frame);
        for (std::size_t place = 0; place < 4; ++place) {
            EXPECT_EQ(InkedSegments(image, places[place]), segments[place])
                << frame << ", digit place " << place + 1;
        }
    }

    // Non-overlapping sets of annunciators, each set shown at once.
    using E = PanelElement;
    const std::vector<std::vector<E>> sets{
        {E::LcdAuto, E::LcdDc1, E::lcdMax, E::LCDHold, E::LCDBATT, E::LCDFm, E::LCDM1, E::LCDohm,
         E::Lcdm, E::LCDA, E::LcdP1},
        {E::lcdManual, E::LCDRS, E::LCD232C, E::LcdAC, E::lcdhFE, E::LCDBF, E::LCDRec, E::LcdRPM,
         E::LCDBT, E::LCDu, E::LCDF, E::LcdP2},
        {E::LcdACDC, E::lcdMin, E::LCDCS, E::LCDk, E::LCDn, E::LcdV, E::LcdP3},
        {E::LCDFS, E::LCDHz},
        {E::LCDDI, E::LcdV}};
    for (std::size_t i = 0; i < sets.size(); ++i) {
        PanelState state;
        state.digitCaptions = {"8", "8", "@", "-"};
        for (E element : sets[i]) {
            state.Show(element);
        }
        LcdPanel panel(state);
        const QImage image = Render(panel, ("annunciators" + std::to_string(i + 1)).c_str());
        for (E element : sets[i]) { // each draws in its own place
            const QRect place = panel.Element(element)->geometry();
            EXPECT_GT(DarkPixels(image, QRect(place.topLeft() * 2, place.size() * 2)), 10)
                << PanelElementName(element);
        }
    }
}

// Every symbol-font character paints ink, and only within its measured
// width and the line height, so labels sized by the measure never clip it.
TEST(GlyphPainter, SymbolGlyphsStayInsideTheirMeasuredBox) {
    const double height = 40;
    const int margin = 20;
    for (const char c : std::string("*+#?$\"&)(!%AkMmnHzVF")) {
        const std::string text(1, c);
        const double width = SymbolTextWidth(text, height);
        const double line = SymbolLineHeight(height);
        QImage image(static_cast<int>(width) + 2 * margin, static_cast<int>(line) + 2 * margin,
                     QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintSymbolText(painter, QRectF(margin, margin, width, line), text, {height, true});
        }
        const int inside =
            DarkPixels(image, QRect(margin - 1, margin - 1, static_cast<int>(width) + 3,
                                    static_cast<int>(line) + 3));
        EXPECT_GT(inside, 20) << c;
        EXPECT_EQ(DarkPixels(image, image.rect()), inside) << c;
    }
}

// The largest difference of any colour channel between two pictures of one
// size (256 when the sizes differ).
int LargestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 256;
    }
    const QImage first = a.convertToFormat(QImage::Format_ARGB32);
    const QImage second = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb p = first.pixel(x, y);
            const QRgb q = second.pixel(x, y);
            largest =
                std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

// The bar's kept pictures are blended onto what lies below it, so an
// antialiased edge may round one step apart from drawing in place.
TEST(LcdPanel, TheBarGraphShowsEachValueAsTheStyleDrawsIt) {
    QWidget window;
    QProgressBar* bar = MakeBarGraph(&window);
    QProgressBar stock;
    stock.resize(bar->size());
    stock.setRange(bar->minimum(), bar->maximum());
    stock.setTextVisible(false);
    // Values again after others come from the bar's kept pictures.
    for (const int value : {30, 0, 60, 17, 30, 17, 59, 0}) {
        bar->setValue(value);
        stock.setValue(value);
        EXPECT_LE(LargestDifference(bar->grab().toImage(), stock.grab().toImage()), 1) << value;
    }
    // Another palette draws afresh, not from the pictures of the old one.
    bar->setValue(30);
    stock.setValue(30);
    QPalette red = bar->palette();
    red.setColor(QPalette::Highlight, Qt::red);
    const QImage before = bar->grab().toImage();
    bar->setPalette(red);
    stock.setPalette(red);
    EXPECT_GT(LargestDifference(bar->grab().toImage(), before), 100);
    EXPECT_LE(LargestDifference(bar->grab().toImage(), stock.grab().toImage()), 1);
    bar->resize(200, 20);
    stock.resize(200, 20);
    EXPECT_LE(LargestDifference(bar->grab().toImage(), stock.grab().toImage()), 1);
}

TEST(GlyphPainter, DigitGlyphsLightTheirSegments) {
    const auto ink = [](char c) {
        QImage image(60, 100, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PaintDigitGlyph(painter, QRectF(5, 5, 50, 90), c);
        painter.end();
        return DarkPixels(image, image.rect());
    };
    // Seven segments for 8, two for 1, one for the minus, three for L.
    EXPECT_GT(ink('8'), 3 * ink('1'));
    EXPECT_GT(ink('1'), ink('-'));
    EXPECT_GT(ink('@'), ink('1'));
    EXPECT_EQ(ink('x'), 0);
    EXPECT_EQ(ink('0') + ink('-'), ink('8'));
}

} // namespace
} // namespace meterdesk::decode
