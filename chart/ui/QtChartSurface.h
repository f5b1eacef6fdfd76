#pragma once

#include "base/Clock.h"
#include "base/RefreshPace.h"
#include "chart/ChartSurface.h"
#include "chart/PointStore.h"

#include <QObject>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAreaSeries;
class QChart;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace meterdesk::chart {

// The trend chart on Qt Charts. Every point stays in a compact store; the
// area series ("Series2") and the line series ("Series1") are handed only
// the page in view, thinned to each pixel column's lowest and highest point,
// and the axes their ranges, at most ten times a second however many changes
// came in between (five under a steady stream). Appending a point and repainting so cost the same
// at ten million points as at ten.
class QtChartSurface final : public QObject, public ChartSurface {
public:
    // Lays the chart out: white walls, no legend, the two series and axes.
    explicit QtChartSurface(QChart* chart);

    void AppendValue(double value) override;
    void ClearValues() override;
    std::size_t ValueCount() const override { return store_.Size(); }
    void ShowArea(bool shown) override;
    void SetBottomMin(double minimum) override;
    void SetBottomMax(double maximum) override;
    double BottomMin() const override { return bottomMin_; }
    double BottomMax() const override { return bottomMax_; }
    void SetValueMin(double minimum) override;
    void SetValueMax(double maximum) override;
    void Repaint() override;

    // Sets both axes and hands the series the points in view now (normally
    // deferred).
    void RefreshNow();
    // Who brings the chart up to date: its own coalescing timer, unless a
    // window that refreshes all its views in one pass takes the wish, so
    // that the chart is painted and sent to the screen with the rest. The
    // driver is called once until the next RefreshNow.
    void SetRefreshDriver(std::function<void()> refreshWanted);
    bool RefreshWanted() const { return refreshWanted_; }

    QAreaSeries* AreaSeries() const { return area_; }
    QLineSeries* LineSeries() const { return line_; }
    QValueAxis* BottomAxis() const { return bottomAxis_; }
    QValueAxis* ValueAxis() const { return valueAxis_; }
    const PointStore& Store() const { return store_; }

private:
    void ScheduleRefresh();

    QChart* chart_;
    PointStore store_;
    QLineSeries* areaUpper_;
    QAreaSeries* area_;
    QLineSeries* line_;
    QValueAxis* bottomAxis_;
    QValueAxis* valueAxis_;
    QTimer* refresh_;
    std::unique_ptr<base::SteadyClock> clock_ = base::MakeSteadyClock();
    base::RefreshPace pace_{*clock_, base::kViewRefreshDelay, base::kStreamRefreshPeriod};
    std::function<void()> refreshDriver_;
    bool refreshWanted_ = false;
    std::optional<std::array<double, 4>> cachedRanges_; // the axes' when their items were cached
    double bottomMin_ = 0;
    double bottomMax_ = 100;
    double valueMin_ = -4100;
    double valueMax_ = 4100;
};

} // namespace meterdesk::chart
