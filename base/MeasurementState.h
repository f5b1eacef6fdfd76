#pragma once

#include "base/Locale.h"
#include "base/ModelProfile.h"

#include <cstdint>
#include <string>

namespace meterdesk::base {

// The program-wide record through which frame assembly, decoding, the link
// watch, the log, the chart, the bar scale and the limits exchange values.
// One instance lives for the whole run and is touched on the main thread only.
// Texts are byte strings; the meter protocol's texts are ASCII.
struct MeasurementState {
    // Frame assembly
    std::string RxHex;               // serial frame in progress, one hex digit per byte
    std::string HidHex;              // HID frame in progress, two hex digits per byte
    bool HidFrameOpen = false;       // data reports arrived, frame not yet finished
    std::int32_t HidIdleReports = 0; // consecutive HID reports without data
    std::string FrameText;           // the last completed frame as hex digits
    std::int32_t LinkIdleTicks = 0;  // link-watch ticks since the last decoded frame

    // The current reading
    std::string ReadingValue;    // value text with the locale's decimal separator
    std::string ReadingUnit;     // unit text, may hold segment-font symbol characters
    std::string ReadingCoupling; // "AC", "DC" or empty
    std::string ReadingRange;    // "AUTO" or "MANU"
    float ReadingNumber = 0.0F;  // signed count, decimal point ignored

    // Running peaks
    float PeakMax = -4001.0F;
    float PeakMin = 4001.0F;
    std::string PeakMaxText;
    std::string PeakMinText;
    std::string PrevUnit = "113"; // equals no unit text: the first frame restarts the peaks
    std::int32_t PrevPointPos = 0;

    // Alarm thresholds and the count class
    float AlarmHigh = 4002.0F;
    float AlarmLow = -4002.0F;
    std::string CountClass = "4";
    std::int32_t FullScale = 4000;
    std::int32_t BarCentre = 400;
    std::int32_t BarGraphFull = 40;
    std::int32_t ScaleTicks = 80;

    // Window fields the Parts share: the user's decimal separator and number
    // format, refreshed at start-up and with every decoded frame.
    std::string DecimalSep = ".";
    NumberFormat LocaleFormat;

    // Log counters
    std::int32_t NextRecordNo = 1;
    std::int32_t RecordedCount = 0;
    std::int32_t RecordLimit = 10000;
    std::int32_t IntervalCountdown = 0;
    std::string LastRecorded;
};

// Writes the numbers of a count-class row (class name, scale numbers, alarm
// thresholds and peak sentinels). The row's texts belong to the window's edit
// boxes and are written by the start-up sequence.
void ApplyCountClassNumbers(MeasurementState& state, const CountClassRow& row);

} // namespace meterdesk::base
