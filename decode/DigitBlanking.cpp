#include "decode/DigitBlanking.h"

namespace meterdesk::decode {

std::array<bool, 4> ShownDigits(const PanelState& panel) {
    const auto zero = [&panel](std::size_t i) { return panel.digitCaptions[i] == "0"; };
    const auto [p1, p2, p3] = panel.pointMarks;
    std::array<bool, 4> shown{true, true, true, true};

    // Leading zeros go up to the place in front of the point; the last digit
    // always stays. With the point after the first place (0.123) nothing goes.
    if (!p1 && !p2 && !p3) {
        if (zero(0) && zero(1) && zero(2)) {
            shown[0] = shown[1] = shown[2] = false;
        } else if (zero(0) && zero(1)) {
            shown[0] = shown[1] = false;
        } else if (zero(0)) {
            shown[0] = false;
        }
    }
    if (p2 && zero(0)) {
        shown[0] = false;
    }
    if (p3) {
        if (zero(0) && zero(1)) {
            shown[1] = false;
        }
        if (zero(0)) {
            shown[0] = false;
        }
    }

    // Function 5 reads in the third place; function 1 has three places.
    if (panel.functionCode == '5') {
        shown[3] = false;
        shown[2] = true;
    }
    if (panel.functionCode == '1') {
        shown[3] = false;
    }
    // Overload shows "0" and the L glyph in the middle two places only.
    if (panel.overload) {
        shown[0] = shown[3] = false;
    }
    return shown;
}

} // namespace meterdesk::decode
