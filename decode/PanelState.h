#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace meterdesk::decode {

// Every element of the LCD replica that decoding shows or hides.
enum class PanelElement : std::uint8_t {
    LcdFH,
    LcdDa,
    LcdDb,
    LcdDc,
    LcdDd,
    LcdP1,
    LcdP2,
    LcdP3,
    LcdAuto,
    lcdManual,
    LCDRS,
    LCD232C,
    LcdAC,
    LcdACDC,
    LCDTRMST,
    LCDTRMS,
    LcdDc1,
    lcdhFE,
    lcdMax,
    lcdMin,
    LCDBF,
    LCDHold,
    LCDRec,
    LCDBATT,
    LcdRPM,
    LCDBT,
    LCDCS,
    LCDFS,
    LCDDI,
    LCDFm,
    LCDk,
    LCDM1,
    LCDohm,
    LCDHz,
    LCDu,
    Lcdm,
    LCDn,
    LCDA,
    LCDF,
    LcdV,
};
inline constexpr std::size_t kPanelElementCount = 40;

// The element's name as the window knows it.
std::string_view PanelElementName(PanelElement element);

// What the LCD replica shows: decoding writes it, the panel draws it. Flags
// keep their values from frame to frame until a decoding step changes them.
class PanelState {
public:
    PanelState();

    bool Shown(PanelElement element) const { return shown_[Index(element)]; }
    void Show(PanelElement element, bool shown = true) { shown_[Index(element)] = shown; }
    void Hide(PanelElement element) { Show(element, false); }

    // Captions of LcdDa, LcdDb, LcdDc, LcdDd, leftmost first.
    std::array<std::string, 4> digitCaptions{"5", "9", "9", "9"};

    // The last frame's marks from which the panel derives its digit blanking:
    // the decimal points the range tables set, the function code, overload.
    std::array<bool, 3> pointMarks{};
    char functionCode = '\0';
    bool overload = false;

private:
    static std::size_t Index(PanelElement element) { return static_cast<std::size_t>(element); }
    std::array<bool, kPanelElementCount> shown_{};
};

} // namespace meterdesk::decode
