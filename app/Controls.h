#pragma once

#include <QFont>
#include <QFrame>
#include <QIcon>
#include <QRect>
#include <QScrollBar>
#include <QString>
#include <QStyle>
#include <QTableView>

#include <array>
#include <functional>
#include <string_view>

class QLabel;
class QWidget;

namespace meterdesk::app {

// The window's layout is in pixels at 96 dpi; fonts are given by pixel
// height. "MS Sans Serif" and "Arial" resolve through font substitutions to
// installed metric-compatible families (see InstallFontSubstitutes).
QFont PixelFont(const QString& family, int pixelHeight, bool bold = false, bool italic = false);

// Maps the font names the layout uses onto fonts installed here, and gives
// the application a style whose check boxes space their captions as the
// layout assumes.
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

// A scroll bar that repaints only when what it shows changes. The grid
// follows its newest row, so range and value move at every refresh, while
// over thousands of rows the slider moves a pixel only now and then; each
// repaint of the style's groove costs the painter a hand-off to its threads.
class SteadyScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look CurrentLook() const;
    Look shown_;
    bool lookCheckPosted_ = false;
};

// The log's grid. When part of it lies under the window's scroll bar, it
// ends above the bar, so the row it follows is read whole.
class LogGrid final : public QTableView {
public:
    // "No" .. "Auto". At the grid's 12 pixels "No" holds 10,000,000 and
    // "Auto" "MANU"; "Value" and "Unit" give up the room their texts do not
    // need, so that the six still fit beside the vertical scroll bar.
    static constexpr std::array<int, 6> kColumnWidths{59, 52, 38, 38, 30, 40};

    using QTableView::QTableView;
    void SetColumnWidths();
    // Makes a row current and scrolls it whole into sight. Rows just
    // inserted are laid out first: Qt would lay them out after the scroll,
    // leaving the newest batch below the bottom edge.
    void GoToRow(int row, ScrollHint hint = EnsureVisible);
    // Where the sight ends, in pixels below the grid's top: the grid ends
    // there, never below its laid-out height.
    void EndAt(int bottom);

private:
    int laidOutHeight_ = -1;
};

// Calls a handler for every typed character of a control; the handler may
// replace the character with 0 to drop it. Pasted text is not filtered.
void FilterKeyPresses(QWidget* control, std::function<void(char& key)> handler);

// Calls a handler for every event of one type that reaches a widget; the
// handler returns true to swallow the event.
void WatchEvent(QWidget* widget, int eventType, std::function<bool()> handler);

// Shows a text of the LCD symbol font as a person reads it ("k*" as "kΩ"),
// the label widening to its text as a label sized by its caption does.
void ShowSymbolText(QLabel* label, std::string_view symbolText);

// The window icon: a small meter with its display, in 16 and 32 pixels.
QIcon MeterIcon();

} // namespace meterdesk::app
