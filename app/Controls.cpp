#include "app/Controls.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

namespace meterdesk::app {

QFont PixelFont(const QString& family, int pixelHeight, bool bold, bool italic) {
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void InstallFontSubstitutes() {
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
    if (rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

namespace {

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
        if (text.size() != 1) {
            return false; // navigation and editing keys pass unfiltered
        }
        // Control characters (backspace 8) reach the handler as their code.
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
