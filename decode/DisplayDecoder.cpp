#include "decode/DisplayDecoder.h"

#include "decode/FrameBits.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace meterdesk::decode {

namespace {

using E = PanelElement;

enum Prefix : std::uint8_t { kNone, kKilo, kMega, kMilli, kMicro, kNano };

// One row of a range table: the decimal point (1 to 3, 0 for none), the
// prefix annunciator, the unit text and the symmetric value-axis span.
struct RangeRow {
    std::uint8_t point;
    Prefix prefix;
    std::string_view unit;
    std::int32_t axis;
};

constexpr std::array<RangeRow, 5> kVoltRanges{{{1, kNone, "V", 6},
                                               {2, kNone, "V", 60},
                                               {3, kNone, "V", 600},
                                               {0, kNone, "V", 6000},
                                               {3, kMilli, "mV", 600}}};
constexpr std::array<RangeRow, 2> kMicroampRanges{
    {{3, kMicro, "uA", 600}, {0, kMicro, "uA", 6000}}};
constexpr std::array<RangeRow, 2> kMilliampRanges{{{2, kMilli, "mA", 60}, {3, kMilli, "mA", 600}}};
constexpr std::array<RangeRow, 2> kLarkAmpRanges{{{2, kMilli, "mA", 10}, {3, kMilli, "mA", 100}}};
constexpr std::array<RangeRow, 6> kOhmRanges{{{3, kNone, "*", 600},
                                              {1, kKilo, "k*", 6},
                                              {2, kKilo, "k*", 60},
                                              {3, kKilo, "k*", 600},
                                              {1, kMega, "M*", 6},
                                              {2, kMega, "M*", 60}}};
constexpr std::array<RangeRow, 6> kHertzRanges{{{0, kNone, "Hz", 6000},
                                                {2, kKilo, "kHz", 60},
                                                {3, kKilo, "kHz", 600},
                                                {1, kMega, "MHz", 6},
                                                {2, kMega, "MHz", 60},
                                                {3, kMega, "MHz", 600}}};
constexpr std::array<RangeRow, 8> kFaradRanges{{{1, kNano, "nF", 6},
                                                {2, kNano, "nF", 60},
                                                {3, kNano, "nF", 600},
                                                {1, kMicro, "uF", 6},
                                                {2, kMicro, "uF", 60},
                                                {3, kMicro, "uF", 600},
                                                {1, kMilli, "mF", 6},
                                                {2, kMilli, "mF", 60}}};

struct Axis {
    double minimum;
    double maximum;
};

// The working values of one frame.
struct Work {
    std::array<bool, 3> points{};
    std::array<bool, 6> prefixes{}; // indexed by Prefix; kNone unused
    bool ampere = false;
    std::optional<Axis> axis;

    void ClearPointsAndPrefixes() {
        points = {};
        prefixes = {};
        ampere = false;
    }
    // Applies row `range` of a table; a range outside the table changes nothing.
    const RangeRow* Apply(std::span<const RangeRow> table, int range, std::string_view& unit) {
        if (range < 0 || static_cast<std::size_t>(range) >= table.size()) {
            return nullptr;
        }
        const RangeRow& row = table[static_cast<std::size_t>(range)];
        if (row.point != 0) {
            points[row.point - 1U] = true;
        }
        prefixes[row.prefix] = true;
        unit = row.unit;
        axis = Axis{-static_cast<double>(row.axis), static_cast<double>(row.axis)};
        return &row;
    }
};

bool IsDecimal(char c) {
    return c >= '0' && c <= '9';
}

// The texts are a few characters long and mostly as long as the frame
// before's: those are overwritten in place.
inline void SetText(std::string& text, std::string_view value) {
    const std::size_t size = value.size();
    if (text.size() != size) {
        // A new string moved in: GCC 12 at -O3 reads assign() from a view as
        // a possibly overlapping copy (-Wrestrict).
        text = std::string(value);
        return;
    }
    char* const to = text.data();
    for (std::size_t i = 0; i < size; ++i) {
        to[i] = value[i];
    }
}

int DecimalValue(char c) {
    return c - '0';
}

// The function blocks that read the range code as a decimal number.
bool ReadsRangeCode(char function, const base::ModelProfile& profile) {
    switch (function) {
    case 'B':
    case 'D':
    case '3':
    case '2':
    case '6':
        return true;
    case 'F':
        return !profile.IFLark;
    case '9':
        return profile.IFLark;
    default:
        return false;
    }
}

} // namespace

DisplayDecoder::DisplayDecoder(base::MeasurementState& state, PanelState& panel,
                               const base::ModelProfile& profile, base::LocaleSource& locale)
    : state_(state), panel_(panel), profile_(profile), locale_(locale) {}

bool DisplayDecoder::IsDecodable(std::span<const char, 11> frame, const FrameBits& bits) const {
    const char function = frame[6];
    if (ReadsRangeCode(function, profile_) && !IsDecimal(frame[1])) {
        return false;
    }
    if (bits.Bit(28)) {
        return true; // overload: the digits are shown, never converted
    }
    // Under IFLark the fourth digit of functions 1 and 5 is blanked before
    // the conversions, so only the first three are read.
    const bool fourthDigitRead = !(profile_.IFLark && (function == '1' || function == '5'));
    for (std::size_t i = 2; i < (fourthDigitRead ? 6U : 5U); ++i) {
        if (!IsDecimal(frame[i])) {
            return false;
        }
    }
    return true;
}

bool DisplayDecoder::LcdDisplayHeron() {
    // Work on a copy: a hand-off may replace FrameText.
    std::array<char, 11> frame{};
    if (state_.FrameText.size() < frame.size()) {
        ++skippedFrames_;
        return false;
    }
    std::copy_n(state_.FrameText.begin(), frame.size(), frame.begin());
    const FrameBits bits(std::string_view(frame.data(), frame.size()));
    if (!IsDecodable(frame, bits)) {
        ++skippedFrames_;
        return false;
    }
    ++decodedFrames_;
    const char function = frame[6];
    const int range = IsDecimal(frame[1]) ? DecimalValue(frame[1]) : -1;
    const base::ModelProfile& profile = profile_;

    // 1. Locale
    SetText(state_.DecimalSep, locale_.ReadDecimalSeparator());
    if (const base::NumberFormat& format = locale_.ReadLocaleFormat();
        !(state_.LocaleFormat == format)) {
        state_.LocaleFormat = format;
    }
    // 2. Link
    state_.LinkIdleTicks = 0;
    Fire(handOffs.FrameSeen);
    // 3. Trace
    Fire(handOffs.TraceFrame, state_.FrameText);
    // 4. Digits ('\0' stands for an empty digit text)
    char d1 = frame[2];
    char d2 = frame[3];
    char d3 = frame[4];
    char d4 = frame[5];
    const bool overload = bits.Bit(28);
    if (overload) {
        d3 = '@';
        d2 = '0';
    }
    // 5. Reading texts, written to the state before the next hand-off
    std::string_view coupling;
    std::string_view unit;
    // 6. Sign
    const bool negative = bits.Bit(26);
    panel_.Show(E::LcdFH, negative);
    // 7. Battery
    panel_.Show(E::LCDBATT, bits.Bit(27));
    // 8. AC
    const bool ac = bits.Bit(34);
    if (ac) {
        coupling = "AC";
    }
    if (profile.IFOsprey) {
        panel_.Hide(E::LcdAC);
        panel_.Show(E::LcdACDC, ac);
        panel_.Show(E::LCDTRMST, ac);
        panel_.Show(E::LCDTRMS, ac);
    } else {
        panel_.Show(E::LcdAC, ac);
    }
    // 9. DC
    const bool dc = bits.Bit(33);
    if (dc) {
        coupling = "DC";
    }
    panel_.Show(E::LcdDc1, dc);
    // 10. Range mode
    const bool autoRange = bits.Bit(35);
    const std::string_view rangeMode = autoRange ? "AUTO" : "MANU";
    panel_.Show(E::LcdAuto, autoRange);
    panel_.Show(E::lcdManual, !autoRange);
    // 11. Link annunciators
    const bool linkShown = !profile.IFOsprey && !bits.Bit(36);
    panel_.Show(E::LCDRS, linkShown);
    panel_.Show(E::LCD232C, linkShown);
    // 12. Points and prefixes
    Work work;
    // 13. Function blocks
    const auto symmetric = [](double span) { return Axis{-span, span}; };
    panel_.Show(E::LcdV, function == 'B'); // a
    if (function == 'B') {
        unit = "V";
        if (work.Apply(kVoltRanges, range, unit) != nullptr && range == 2 && profile.IFLark) {
            work.axis = Axis{-600.0, 400.0};
        }
    }
    if (function == 'D') { // b
        work.prefixes[kMicro] = true;
        work.ampere = true;
        unit = "uA";
        work.Apply(kMicroampRanges, range, unit);
    }
    if (function == 'F') { // c
        work.ampere = true;
        if (profile.IFLark) {
            unit = "A";
            work.points[1] = true;
        } else {
            work.prefixes[kMilli] = true;
            unit = "mA";
            work.Apply(kMilliampRanges, range, unit);
        }
    }
    if (function == '9') { // d
        work.ampere = true;
        if (profile.IFLark) {
            work.prefixes[kMilli] = true;
            unit = "mA";
            work.Apply(kLarkAmpRanges, range, unit);
        } else {
            unit = "A";
            work.points[1] = true;
            work.axis = symmetric(10);
        }
    }
    panel_.Show(E::LCDohm, function == '3'); // e
    if (function == '3') {
        unit = "*";
        work.Apply(kOhmRanges, range, unit);
    }
    const bool celsius = bits.Bit(25); // f
    panel_.Show(E::LCDCS, function == '4' && celsius);
    panel_.Show(E::LCDFS, function == '4' && !celsius);
    if (function == '4') {
        unit = celsius ? "#" : "?";
        work.axis = Axis{-40.0, celsius ? 1000.0 : 1832.0};
    }
    panel_.Show(E::LCDFm, function == '5'); // g
    if (function == '5') {
        unit = "&";
        if (profile.IFFinch) {
            panel_.Show(E::LCDohm);
            unit = "&*";
        }
        work.axis = symmetric(6000);
    }
    panel_.Show(E::LCDDI, function == '1'); // h
    if (function == '1') {
        work.points[0] = true;
        panel_.Show(E::LcdV);
        unit = ")";
        work.axis = symmetric(6);
    }
    panel_.Show(E::LCDF, function == '6'); // i
    if (function == '6') {
        work.Apply(kFaradRanges, range, unit);
    }
    panel_.Show(E::LCDHz, function == '2'); // j
    panel_.Hide(E::LcdRPM);
    if (function == '2') {
        work.ClearPointsAndPrefixes();
        panel_.Hide(E::LcdV);
        if (work.Apply(kHertzRanges, range, unit) != nullptr && range == 0 &&
            (profile.IFFinch || profile.IFHeron) && (!celsius || profile.IFLark)) {
            work.axis = symmetric(6);
        }
    }
    panel_.Show(E::lcdhFE, function == 'E'); // k
    panel_.Show(E::LCDBT, function == 'E');
    if (function == 'E') {
        work.axis = symmetric(6000);
    }
    SetText(state_.ReadingCoupling, coupling);
    SetText(state_.ReadingRange, rangeMode);
    SetText(state_.ReadingUnit, unit);
    if (work.axis) {
        Fire(handOffs.AxisRange, work.axis->minimum, work.axis->maximum);
    }
    // 14. HOLD, MAX, MIN
    const std::uint8_t modes = bits.Position(9);
    panel_.Show(E::LCDHold, (modes & 8U) != 0);
    panel_.Show(E::lcdMax, (modes & 4U) != 0);
    panel_.Show(E::lcdMin, (modes & 2U) != 0);
    // 15. Points
    constexpr std::array<E, 3> kPointShapes{E::LcdP1, E::LcdP2, E::LcdP3};
    std::array<bool, 3> pointTextShown = work.points;
    for (std::size_t i = 0; i < 3; ++i) {
        panel_.Show(kPointShapes[i], work.points[i]);
    }
    // 16. Prefixes
    panel_.Show(E::LCDk, work.prefixes[kKilo]);
    panel_.Show(E::LCDM1, work.prefixes[kMega]);
    panel_.Show(E::Lcdm, work.prefixes[kMilli]);
    panel_.Show(E::LCDu, work.prefixes[kMicro]);
    panel_.Show(E::LCDA, work.ampere);
    panel_.Show(E::LCDn, work.prefixes[kNano]);
    // 17. IFLark's blanked fourth digit
    if (profile.IFLark) {
        if (panel_.Shown(E::LCDDI)) {
            d4 = '\0';
            state_.ReadingUnit += 'V';
        }
        if (panel_.Shown(E::LCDFm)) {
            d4 = '\0';
            pointTextShown[2] = false;
            panel_.Hide(E::LcdP3);
            state_.ReadingUnit += '*';
            panel_.Show(E::LCDohm);
        }
    }
    // 18. Value text, built on the stack: at most a sign, four digits and
    // three separators.
    const std::string& sep = state_.DecimalSep;
    std::array<char, 64> shortText;
    const std::size_t longest = 5 + 3 * sep.size();
    std::string longText(longest > shortText.size() ? longest : 0, '\0');
    char* const text = longText.empty() ? shortText.data() : longText.data();
    char* end = text;
    if (negative) {
        *end++ = '-';
    }
    const auto appendPoint = [&](std::size_t i) {
        if (pointTextShown[i]) {
            end = std::copy(sep.begin(), sep.end(), end);
        }
    };
    if (d3 == '@') {
        appendPoint(0);
        *end++ = '0';
        appendPoint(1);
        *end++ = 'L';
        appendPoint(2);
    } else {
        *end++ = d1;
        appendPoint(0);
        *end++ = d2;
        appendPoint(1);
        *end++ = d3;
        appendPoint(2);
        if (d4 != '\0') {
            *end++ = d4;
        }
    }
    const std::string_view value(text, static_cast<std::size_t>(end - text));
    SetText(state_.ReadingValue, value);
    // 19. Number; the digits were validated before anything changed.
    const std::int32_t overloadCount = state_.FullScale + 1;
    std::int32_t number = 0;
    if (overload) {
        number = negative ? -overloadCount : overloadCount;
    } else {
        for (const char digit : {d1, d2, d3, d4}) {
            if (digit != '\0') {
                number = number * 10 + DecimalValue(digit);
            }
        }
        number = negative ? -number : number;
    }
    state_.ReadingNumber = static_cast<float>(number);
    // 20. Marks for the panel's digit blanking
    panel_.pointMarks = work.points;
    panel_.functionCode = function;
    panel_.overload = overload;
    // 21. Peaks
    const std::int32_t pointPos = panel_.Shown(E::LcdP3)   ? 3
                                  : panel_.Shown(E::LcdP2) ? 2
                                  : panel_.Shown(E::LcdP1) ? 1
                                                           : 0;
    if (state_.ReadingUnit != state_.PrevUnit || pointPos != state_.PrevPointPos) {
        SetText(state_.PrevUnit, state_.ReadingUnit);
        state_.PeakMax = -static_cast<float>(overloadCount);
        state_.PeakMin = static_cast<float>(overloadCount);
    } else {
        if (state_.ReadingNumber >= state_.PeakMax) {
            SetText(state_.PeakMaxText, value);
            state_.PeakMax = state_.ReadingNumber;
        }
        if (state_.ReadingNumber <= state_.PeakMin) {
            SetText(state_.PeakMinText, value);
            state_.PeakMin = state_.ReadingNumber;
        }
    }
    state_.PrevPointPos = pointPos;
    Fire(handOffs.PeaksShown, state_.PeakMaxText, state_.PeakMinText, state_.ReadingUnit);
    // 22. Digit captions
    const std::array<char, 4> digits{d1, d2, d3, d4};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        SetText(panel_.digitCaptions[i], std::string_view(&digits[i], digits[i] == '\0' ? 0U : 1U));
    }
    Fire(handOffs.PanelChanged);
    // 23. Bar-scale needle
    std::int32_t needle = 0;
    if (overload) {
        needle = negative ? 0 : state_.ScaleTicks * 10;
    } else {
        const std::int32_t firstThree =
            DecimalValue(d1) * 100 + DecimalValue(d2) * 10 + DecimalValue(d3);
        needle = (negative ? -firstThree : firstThree) + state_.BarCentre;
    }
    Fire(handOffs.NeedleAt, needle);
    // 24. Log step
    Fire(handOffs.ReadingReady);
    // 25. Bar graph
    std::int32_t bar = 0;
    if (d3 == '@') {
        bar = function == '1' ? 25 : state_.BarGraphFull;
    } else {
        const std::int32_t v = DecimalValue(d1) * 10 + DecimalValue(d2);
        bar = v >= 2 ? v : 1;
    }
    Fire(handOffs.BarGraphAt, bar);
    return true;
}

} // namespace meterdesk::decode
