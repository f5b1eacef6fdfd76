#include "app/Controls.h"

#include "decode/SegmentFont.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>

namespace meterdesk::app {

namespace {
constexpr int kLargestHintedPixels = 14;
} // namespace

QFont PixelFont(const QString& family, int pixelHeight, bool bold, bool italic) {
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    // The layout's small captions were measured with whole-pixel glyph
    // advances, as full hinting gives them; unhinted fractional advances run
    // them a pixel or two past their controls. Large captions were measured
    // unhinted: rounding each glyph up widens them.
    font.setHintingPreference(pixelHeight <= kLargestHintedPixels ? QFont::PreferFullHinting
                                                                  : QFont::PreferVerticalHinting);
    return font;
}

namespace {

// The platform style with the spacing the pixel layout was drawn for: a
// check box's caption starts 3 pixels after its 13-pixel box (Qt's styles
// leave 6 after 14, which cuts "Repeat" and the interval's "'S" unit).
class LayoutStyle final : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
        case PM_CheckBoxLabelSpacing:
        case PM_RadioButtonLabelSpacing:
            return 3;
        case PM_FocusFrameHMargin:
            // A grid cell's text keeps one pixel from its sides (this margin
            // plus one), as the grid's column widths assume.
            if (qobject_cast<const QAbstractItemView*>(widget) != nullptr) {
                return 0;
            }
            return QProxyStyle::pixelMetric(metric, option, widget);
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

} // namespace

void InstallFontSubstitutes() {
    if (dynamic_cast<LayoutStyle*>(QApplication::style()) == nullptr) {
        QApplication::setStyle(new LayoutStyle());
    }
    // Liberation Sans has Arial's metrics, so the pixel layout keeps its
    // proportions; the old bitmap sans maps to the same family.
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("DejaVu Sans")});
}

QIcon ThemeIcon(const char* themeName, QStyle::StandardPixmap fallback) {
    // The style decodes every size of its icon at once: ask it only when the
    // theme has none.
    const QString name = QString::fromLatin1(themeName);
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name)
                                     : QApplication::style()->standardIcon(fallback);
}

PanelButton::PanelButton(const QString& caption, QWidget* parent)
    : QFrame(parent), caption_(caption) {
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
}

void PanelButton::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void PanelButton::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
    QFrame::mouseReleaseEvent(event);
    // As a button: the left button, released inside.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

void SteadyScrollBar::sliderChange(SliderChange change) {
    if (change != SliderRangeChange && change != SliderValueChange) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A new row moves the range first and the value after it, the slider
    // there and back: the look is compared once both have been set.
    if (!lookCheckPosted_) {
        lookCheckPosted_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                lookCheckPosted_ = false;
                if (CurrentLook() != shown_) {
                    update();
                }
            },
            Qt::QueuedConnection);
    }
}

void SteadyScrollBar::paintEvent(QPaintEvent* event) {
    shown_ = CurrentLook();
    QScrollBar::paintEvent(event);
}

SteadyScrollBar::Look SteadyScrollBar::CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    // A style may grey an arrow out at either end.
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum()};
}

void LogGrid::SetColumnWidths() {
    for (int column = 0; column < static_cast<int>(kColumnWidths.size()); ++column) {
        setColumnWidth(column, kColumnWidths[static_cast<std::size_t>(column)]);
    }
}

void LogGrid::GoToRow(int row, ScrollHint hint) {
    executeDelayedItemsLayout();
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    scrollTo(index, hint);
}

void LogGrid::EndAt(int bottom) {
    // The view keeps its own viewport margins for its headers, so the grid
    // itself ends where the sight does.
    if (laidOutHeight_ < 0) {
        laidOutHeight_ = height();
    }
    const int shown = std::clamp(bottom, 0, laidOutHeight_);
    if (shown == height()) {
        return;
    }
    resize(width(), shown);
    if (currentIndex().isValid()) {
        scrollTo(currentIndex());
    }
}

namespace {

// A key that types a character: printable text, or backspace, which the
// filters admit by name. Tab, Return, Escape, Delete and Ctrl shortcuts carry
// control characters as text but move focus or edit, and are no characters.
bool IsTypedCharacter(const QKeyEvent& key) {
    const QString text = key.text();
    if (text.size() != 1 ||
        key.modifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    const char16_t code = text.at(0).unicode();
    return code == u'\b' || (code >= 0x20 && code != 0x7F);
}

class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QObject* parent, std::function<void(char&)> handler)
        : QObject(parent), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const QString text = keyEvent->text();
        if (!IsTypedCharacter(*keyEvent)) {
            return false; // navigation, editing keys and shortcuts pass unfiltered
        }
        // Backspace reaches the handler as its code 8.
        const char16_t code = text.at(0).unicode();
        char key = code < 0x80 ? static_cast<char>(code) : '\x7F';
        handler_(key);
        return key == '\0';
    }

private:
    std::function<void(char&)> handler_;
};

class EventWatcher : public QObject {
public:
    EventWatcher(QObject* parent, int eventType, std::function<bool()> handler)
        : QObject(parent), eventType_(eventType), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == eventType_) {
            return handler_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int eventType_;
    std::function<bool()> handler_;
};

} // namespace

void WatchEvent(QWidget* widget, int eventType, std::function<bool()> handler) {
    widget->installEventFilter(new EventWatcher(widget, eventType, std::move(handler)));
}

void ShowSymbolText(QLabel* label, std::string_view symbolText) {
    label->setText(QString::fromStdString(decode::SymbolFontText(symbolText)));
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
}

QIcon MeterIcon() {
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        painter.setPen(QPen(QColor(40, 40, 40), 1.0));
        painter.setBrush(QColor(255, 196, 0)); // the meter's housing
        painter.drawRoundedRect(QRectF(2.5, 0.5, 11, 15), 2, 2);
        painter.setBrush(QColor(190, 210, 180)); // its display
        painter.drawRect(QRectF(4, 2.5, 8, 4.5));
        painter.setBrush(QColor(40, 40, 40)); // the selector knob
        painter.drawEllipse(QPointF(8, 11), 2.2, 2.2);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void FilterKeyPresses(QWidget* control, std::function<void(char& key)> handler) {
    control->installEventFilter(new KeyPressFilter(control, std::move(handler)));
}

} // namespace meterdesk::app
