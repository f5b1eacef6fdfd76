#include "chart/ChartControl.h"

#include <algorithm>

namespace meterdesk::chart {

TChartControl::TChartControl(ChartSurface& chart, std::int32_t pageSize)
    : Chart(chart), PageSize(pageSize) {
    Chart.SetBottomMin(1);
    Chart.SetBottomMax(pageSize);
    Chart.AppendValue(0); // the origin point
    Chart.ShowArea(true);
}

void TChartControl::RecountPages() {
    // Pages hold the readings. The origin point lies left of page 1 and is
    // not counted: counted, a full last page raised the count by one and
    // paging back from it showed the empty window left of page 1.
    const auto points = static_cast<std::int64_t>(Chart.ValueCount());
    const std::int64_t readings = points > 0 ? points - 1 : 0;
    PageCount = std::max<std::int32_t>(
        1, static_cast<std::int32_t>(readings / PageSize + (readings % PageSize > 0 ? 1 : 0)));
}

void TChartControl::LimitedShift(std::int32_t d) {
    const std::size_t count = Chart.ValueCount();
    if (count == 0) {
        return;
    }
    const auto greatestX = static_cast<double>(count - 1);
    const double smallestX = 0;
    const bool move = d > 0 ? greatestX > Chart.BottomMax() : smallestX < Chart.BottomMin();
    if (move) {
        const double minimum = Chart.BottomMin() + d;
        const double maximum = Chart.BottomMax() + d;
        // Widen first so that the window never has its maximum below its minimum.
        if (d > 0) {
            Chart.SetBottomMax(maximum);
            Chart.SetBottomMin(minimum);
        } else {
            Chart.SetBottomMin(minimum);
            Chart.SetBottomMax(maximum);
        }
        Chart.Repaint();
    }
}

std::int32_t TChartControl::AddPoint(double value) {
    Chart.AppendValue(value);
    RecountPages();
    if (!Browsing) {
        LimitedShift(PageSize);
        CurrentPage = PageCount;
    }
    return CurrentPage;
}

std::int32_t TChartControl::FirstPage() {
    if (PageCount <= 1 || CurrentPage == 1) {
        return CurrentPage;
    }
    for (std::int32_t i = 1; i < CurrentPage; ++i) {
        LimitedShift(-PageSize);
    }
    CurrentPage = 1;
    Browsing = true;
    return CurrentPage;
}

std::int32_t TChartControl::PriorPage() {
    if (CurrentPage > 1) {
        LimitedShift(-PageSize);
        --CurrentPage;
        Browsing = true;
    }
    return CurrentPage;
}

std::int32_t TChartControl::NextPage() {
    if (PageCount > 1 && CurrentPage != PageCount) {
        LimitedShift(PageSize);
        ++CurrentPage;
        Browsing = CurrentPage != PageCount;
    }
    return CurrentPage;
}

std::int32_t TChartControl::LastPage() {
    if (PageCount <= 1 || CurrentPage == PageCount) {
        return CurrentPage;
    }
    for (std::int32_t i = CurrentPage; i < PageCount; ++i) {
        LimitedShift(PageSize);
    }
    CurrentPage = PageCount;
    Browsing = false;
    return CurrentPage;
}

void TChartControl::SetPageSize(std::int32_t pageSize) {
    if (pageSize == PageSize) {
        return;
    }
    PageSize = pageSize;
    Chart.SetBottomMin(1);
    Chart.SetBottomMax(pageSize);
    RecountPages();
    for (std::int32_t i = 1; i < PageCount; ++i) {
        LimitedShift(pageSize);
    }
    CurrentPage = PageCount;
    Browsing = false;
}

void TChartControl::SetAxisMax(double value) {
    if (value != AxisMax) {
        AxisMax = value;
        Chart.SetValueMax(value);
    }
}

void TChartControl::SetAxisMin(double value) {
    if (value != AxisMin) {
        AxisMin = value;
        Chart.SetValueMin(value);
    }
}

std::int32_t TChartControl::Reset() {
    FirstPage();
    Chart.ClearValues();
    Chart.AppendValue(0);
    PageCount = 1;
    Browsing = false;
    return CurrentPage;
}

void TChartControl::SetFill(bool shown) {
    if (shown != FillArea) {
        FillArea = shown;
        Chart.ShowArea(shown);
    }
}

} // namespace meterdesk::chart
