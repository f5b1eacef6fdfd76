#include "record/ui/ChartPicture.h"

#include <QBuffer>
#include <QChartView>
#include <QPainter>

#include <stdexcept>

namespace meterdesk::record {

QImage DrawChartPicture(QChartView& view) {
    QImage picture(view.size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHints(view.renderHints());
    // The scene as the viewport shows it, at the viewport's place inside
    // the frame.
    const QRect viewport = view.viewport()->geometry();
    view.render(&painter, QRectF(viewport), view.viewport()->rect(), Qt::IgnoreAspectRatio);
    return picture;
}

QByteArray BitmapFileBytes(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "BMP")) {
        throw std::runtime_error("The chart could not be encoded as a bitmap.");
    }
    return bytes;
}

} // namespace meterdesk::record
