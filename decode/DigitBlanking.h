#pragma once

#include "decode/PanelState.h"

#include <array>

namespace meterdesk::decode {

// Which of the four digit labels (LcdDa..LcdDd, leftmost first) the LCD
// replica draws for a panel state. The meter sends leading zeros; a real
// display blanks them up to the decimal point, and the functions 5 and 1 and
// the overload look show fewer places. Reads the digit captions, the point
// marks, the function code and the overload mark; never the digits' own flags.
std::array<bool, 4> ShownDigits(const PanelState& panel);

} // namespace meterdesk::decode
