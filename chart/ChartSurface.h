#pragma once

#include <cstddef>

namespace meterdesk::chart {

// What the pager needs of a chart widget. Every series holds the same points
// (X is a point's index), so the surface keeps one list of values for all.
class ChartSurface {
public:
    virtual ~ChartSurface() = default;

    // Points, shared by every series: append the next value, clear, count.
    virtual void AppendValue(double value) = 0;
    virtual void ClearValues() = 0;
    virtual std::size_t ValueCount() const = 0;

    // The area series (series 0) shown or hidden; the line series stays.
    virtual void ShowArea(bool shown) = 0;

    // The bottom axis window; automatic scaling is always off.
    virtual void SetBottomMin(double minimum) = 0;
    virtual void SetBottomMax(double maximum) = 0;
    virtual double BottomMin() const = 0;
    virtual double BottomMax() const = 0;

    // The value axis; a maximum below the minimum (or a minimum above the
    // maximum) is refused, as chart widgets do.
    virtual void SetValueMin(double minimum) = 0;
    virtual void SetValueMax(double maximum) = 0;

    virtual void Repaint() = 0;
};

} // namespace meterdesk::chart
