#pragma once

#include "chart/ChartSurface.h"

#include <cstdint>

namespace meterdesk::chart {

// The trend chart pager. The chart shows a window of PageSize points (a
// page) on its bottom axis and follows the newest page, unless the user paged
// back (Browsing). X 0 is the origin point added at creation and reset; page
// p shows X (p-1)*PageSize+1 .. p*PageSize.
class TChartControl {
public:
    TChartControl(ChartSurface& chart, std::int32_t pageSize);

    std::int32_t AddPoint(double value);
    std::int32_t FirstPage();
    std::int32_t PriorPage();
    std::int32_t NextPage();
    std::int32_t LastPage();
    std::int32_t Reset();
    void SetPageSize(std::int32_t pageSize);
    void SetAxisMax(double value);
    void SetAxisMin(double value);
    void SetFill(bool shown);

    ChartSurface& Chart;
    std::int32_t CurrentPage = 1;
    std::int32_t PageSize;
    std::int32_t PageCount = 1;
    bool Browsing = false;
    double AxisMax = 0;
    double AxisMin = 0;
    bool FillArea = true;

private:
    void RecountPages();
    // Moves the bottom-axis window by d when points lie beyond it that way.
    void LimitedShift(std::int32_t d);
};

} // namespace meterdesk::chart
