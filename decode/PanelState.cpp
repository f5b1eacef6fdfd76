#include "decode/PanelState.h"

namespace meterdesk::decode {

namespace {
constexpr std::array<std::string_view, kPanelElementCount> kNames{
    "LcdFH",   "LcdDa",     "LcdDb",  "LcdDc",   "LcdDd", "LcdP1",   "LcdP2",    "LcdP3",
    "LcdAuto", "lcdManual", "LCDRS",  "LCD232C", "LcdAC", "LcdACDC", "LCDTRMST", "LCDTRMS",
    "LcdDc1",  "lcdhFE",    "lcdMax", "lcdMin",  "LCDBF", "LCDHold", "LCDRec",   "LCDBATT",
    "LcdRPM",  "LCDBT",     "LCDCS",  "LCDFS",   "LCDDI", "LCDFm",   "LCDk",     "LCDM1",
    "LCDohm",  "LCDHz",     "LCDu",   "Lcdm",    "LCDn",  "LCDA",    "LCDF",     "LcdV",
};
} // namespace

std::string_view PanelElementName(PanelElement element) {
    return kNames[static_cast<std::size_t>(element)];
}

PanelState::PanelState() {
    // At start the sign and the four digits are shown, everything else hidden.
    for (PanelElement element : {PanelElement::LcdFH, PanelElement::LcdDa, PanelElement::LcdDb,
                                 PanelElement::LcdDc, PanelElement::LcdDd}) {
        Show(element);
    }
}

} // namespace meterdesk::decode
