#include "chart/ui/QtChartSurface.h"

#include <QAreaSeries>
#include <QChart>
#include <QGraphicsLineItem>
#include <QLineSeries>
#include <QPen>
#include <QTimer>
#include <QValueAxis>

namespace meterdesk::chart {

namespace {

// A new point repaints the whole plot area, and with it the grid's
// horizontal lines (the dashed minor ones cost most) and the labels, which
// change only with the ranges. Each of those keeps a picture of itself in
// device pixels, so a refresh blits it. Tall items (the vertical lines) are
// drawn afresh: blitting a tall picture hands the work to a thread pool,
// which costs more than drawing the line.
void CacheStillItems(QGraphicsItem* item) {
    for (QGraphicsItem* child : item->childItems()) {
        bool still = false;
        if (child->type() == QGraphicsLineItem::Type) {
            const QLineF line = static_cast<QGraphicsLineItem*>(child)->line();
            still = line.y1() == line.y2();
        } else {
            still = child->type() == QGraphicsTextItem::Type ||
                    child->type() == QGraphicsSimpleTextItem::Type;
        }
        if (still && child->cacheMode() != QGraphicsItem::DeviceCoordinateCache) {
            child->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
        }
        CacheStillItems(child);
    }
}

} // namespace

QtChartSurface::QtChartSurface(QChart* chart)
    : QObject(chart), chart_(chart), areaUpper_(new QLineSeries(chart)),
      area_(new QAreaSeries(areaUpper_)), line_(new QLineSeries(chart)),
      bottomAxis_(new QValueAxis(chart)), valueAxis_(new QValueAxis(chart)),
      refresh_(new QTimer(this)) {
    chart_->setBackgroundBrush(Qt::white);
    chart_->setPlotAreaBackgroundBrush(Qt::white);
    chart_->setPlotAreaBackgroundVisible(true);
    chart_->legend()->hide();
    chart_->setAnimationOptions(QChart::NoAnimation);

    area_->setObjectName(QStringLiteral("Series2"));
    area_->setBrush(QColor(255, 255, 128));
    area_->setPen(QPen(QColor(0, 128, 255), 1));
    area_->setPointsVisible(false);
    line_->setObjectName(QStringLiteral("Series1"));
    line_->setPen(QPen(QColor(128, 255, 0), 1));
    line_->setPointsVisible(false);
    chart_->addSeries(area_);
    chart_->addSeries(line_);

    bottomAxis_->setRange(bottomMin_, bottomMax_);
    bottomAxis_->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis_->setRange(valueMin_, valueMax_);
    valueAxis_->setMinorTickCount(4);
    valueAxis_->setLabelFormat(QStringLiteral("%g"));
    QPen axisLine(QColor(0, 64, 128), 1, Qt::DashLine);
    valueAxis_->setLinePen(axisLine);
    chart_->addAxis(bottomAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(area_), static_cast<QAbstractSeries*>(line_)}) {
        series->attachAxis(bottomAxis_);
        series->attachAxis(valueAxis_);
    }
    // The axes' lines in cosmetic pens: the same single pixel on the screen,
    // but a line item in a pen with a width works its bounding box out by
    // stroking its outline, at every repaint.
    for (QValueAxis* axis : {bottomAxis_, valueAxis_}) {
        QPen line = axis->linePen();
        QPen grid = axis->gridLinePen();
        QPen minorGrid = axis->minorGridLinePen();
        for (QPen* pen : {&line, &grid, &minorGrid}) {
            if (pen->widthF() == 1) {
                pen->setWidth(0);
            }
        }
        axis->setLinePen(line);
        axis->setGridLinePen(grid);
        axis->setMinorGridLinePen(minorGrid);
    }

    refresh_->setSingleShot(true);
    connect(refresh_, &QTimer::timeout, this, [this] { RefreshNow(); });
}

void QtChartSurface::SetRefreshDriver(std::function<void()> refreshWanted) {
    refreshDriver_ = std::move(refreshWanted);
    if (refreshDriver_ && refresh_->isActive()) {
        refresh_->stop();
        refreshWanted_ = true;
        refreshDriver_();
    }
}

void QtChartSurface::ScheduleRefresh() {
    if (refreshDriver_) {
        if (!refreshWanted_) {
            refreshWanted_ = true;
            refreshDriver_();
        }
        return;
    }
    // A pending refresh is not pushed back: under a steady stream of points
    // the chart still moves five times a second.
    if (!refresh_->isActive()) {
        refresh_->start(pace_.Delay());
    }
}

void QtChartSurface::AppendValue(double value) {
    store_.Append(static_cast<float>(value));
    // Only a point inside the window changes what is drawn.
    if (static_cast<double>(store_.Size() - 1) <= bottomMax_ + 1) {
        ScheduleRefresh();
    }
}

void QtChartSurface::ClearValues() {
    store_.Clear();
    ScheduleRefresh();
}

void QtChartSurface::ShowArea(bool shown) {
    area_->setVisible(shown);
}

void QtChartSurface::SetBottomMin(double minimum) {
    bottomMin_ = minimum; // the axis follows at the refresh: relabelling it is costly
    ScheduleRefresh();
}

void QtChartSurface::SetBottomMax(double maximum) {
    bottomMax_ = maximum;
    ScheduleRefresh();
}

void QtChartSurface::SetValueMin(double minimum) {
    if (minimum > valueMax_) {
        return; // a minimum above the maximum is refused
    }
    valueMin_ = minimum; // the axis follows at the refresh: each change relays the chart out
    ScheduleRefresh();
}

void QtChartSurface::SetValueMax(double maximum) {
    if (maximum < valueMin_) {
        return; // a maximum below the minimum is refused
    }
    valueMax_ = maximum;
    ScheduleRefresh();
}

void QtChartSurface::Repaint() {
    ScheduleRefresh();
}

void QtChartSurface::RefreshNow() {
    refresh_->stop();
    refreshWanted_ = false;
    pace_.Refreshed();
    // Before the chart is laid out its plot area has no width yet.
    constexpr int kColumnsBeforeLayout = 300;
    const int laidOut = static_cast<int>(chart_->plotArea().width());
    const int columns = laidOut > 1 ? laidOut : kColumnsBeforeLayout;
    bottomAxis_->setRange(bottomMin_, bottomMax_);
    valueAxis_->setRange(valueMin_, valueMax_);
    const std::array<double, 4> ranges{bottomMin_, bottomMax_, valueMin_, valueMax_};
    if (ranges != cachedRanges_) { // new ranges may have made new ticks and labels
        CacheStillItems(chart_);
        cachedRanges_ = ranges;
    }
    // Readings far off the value axis (another range's) are held one axis
    // span beyond it: filling the area to them would cost the painter dearly.
    const double span = valueMax_ - valueMin_;
    const std::vector<PlotPoint> page =
        HeldInBand(DecimatedWindow(store_, bottomMin_, bottomMax_, columns), valueMin_ - span,
                   valueMax_ + span);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(page.size()));
    for (const PlotPoint& p : page) {
        points.append(QPointF(p.x, p.y));
    }
    areaUpper_->replace(points);
    line_->replace(points);
}

} // namespace meterdesk::chart
