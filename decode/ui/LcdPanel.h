#pragma once

#include "decode/PanelState.h"

#include <QFrame>

#include <array>
#include <string>

class QProgressBar;
class QWidget;

namespace meterdesk::decode {

// The replica of the meter's LCD ("Panel1"): the sign, four seven-segment
// digits, three decimal points and the annunciators, each a child widget
// named after its element and placed where the meter's glass has it. Every
// element is shown or hidden as the panel state says; the digit labels also
// blank leading zeros (DigitBlanking.h). The window places it at 3, 31.
class LcdPanel : public QFrame {
    Q_OBJECT

public:
    // Builds the panel and draws `start` (by default the sign and the digits
    // "5999"; a profile may change the first caption).
    explicit LcdPanel(const PanelState& start = PanelState(), QWidget* parent = nullptr);

    // Draws a panel state: every element takes its shown flag, the digits take
    // their captions, then the blanking rules hide digit labels. Points follow
    // only their own flags. Fills the PanelChanged hand-off.
    void Draw(const PanelState& panel);

    // Whether the element's widget is shown (not hidden), for the window and
    // the tests; and the caption it holds (the digit for LcdDa..LcdDd).
    bool ElementShown(PanelElement element) const;
    std::string Caption(PanelElement element) const;

    // The child widget of an element.
    QWidget* Element(PanelElement element) const;

private:
    std::array<QWidget*, kPanelElementCount> elements_{};
};

// The bar graph "PBar2" under the panel: a progress bar at 3, 169 in the
// window, 284 x 12, range 0 to 60, at 30 until the first frame. The window
// sets its value from the BarGraphAt hand-off.
QProgressBar* MakeBarGraph(QWidget* window);

} // namespace meterdesk::decode
