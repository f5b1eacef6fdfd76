#pragma once

#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QString>
#include <QStyle>

#include <functional>

class QWidget;

namespace meterdesk::app {

// The window's layout is in pixels at 96 dpi; fonts are given by pixel
// height. "MS Sans Serif" and "Arial" resolve through font substitutions to
// installed metric-compatible families (see InstallFontSubstitutes).
QFont PixelFont(const QString& family, int pixelHeight, bool bold = false, bool italic = false);

// Maps the font names the layout uses onto fonts installed here.
void InstallFontSubstitutes();

// Gives a control its name and geometry inside its parent.
template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

// An icon from the desktop theme, or Qt's standard pixmap where the theme
// has none.
QIcon ThemeIcon(const char* themeName, QStyle::StandardPixmap fallback);

// A panel that behaves as a button: a framed caption that reports clicks.
class PanelButton : public QFrame {
    Q_OBJECT
public:
    PanelButton(const QString& caption, QWidget* parent);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString caption_;
};

// Calls a handler for every typed character of a control; the handler may
// replace the character with 0 to drop it. Pasted text is not filtered.
void FilterKeyPresses(QWidget* control, std::function<void(char& key)> handler);

// Calls a handler for every event of one type that reaches a widget; the
// handler returns true to swallow the event.
void WatchEvent(QWidget* widget, int eventType, std::function<bool()> handler);

// The window icon: a small meter with its display, in 16 and 32 pixels.
QIcon MeterIcon();

} // namespace meterdesk::app
