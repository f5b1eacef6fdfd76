#include "base/MeasurementState.h"

namespace meterdesk::base {

void ApplyCountClassNumbers(MeasurementState& state, const CountClassRow& row) {
    state.CountClass = row.name;
    state.FullScale = row.FullScale;
    state.BarCentre = row.BarCentre;
    state.BarGraphFull = row.BarGraphFull;
    state.ScaleTicks = row.ScaleTicks;
    state.AlarmHigh = row.AlarmHigh;
    state.AlarmLow = row.AlarmLow;
    state.PeakMax = row.PeakMax;
    state.PeakMin = row.PeakMin;
}

} // namespace meterdesk::base
