#pragma once

#include <QByteArray>
#include <QImage>

class QChartView;

namespace meterdesk::record {

// The chart as a picture the size of its control on screen: a new white
// image with the chart drawn on it directly (the control's frame and the
// tool buttons over the chart are not part of it).
QImage DrawChartPicture(QChartView& view);

// The picture as the bytes of a Windows bitmap file.
QByteArray BitmapFileBytes(const QImage& picture);

} // namespace meterdesk::record
