#pragma once

#include "chart/ChartSurface.h"
#include "chart/PointStore.h"

#include <QObject>

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
// came in between. Appending a point and repainting so cost the same at ten
// million points as at ten.
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
    double bottomMin_ = 0;
    double bottomMax_ = 100;
    double valueMin_ = -4100;
    double valueMax_ = 4100;
};

} // namespace meterdesk::chart
