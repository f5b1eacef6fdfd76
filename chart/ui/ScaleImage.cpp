#include "chart/ui/ScaleImage.h"

#include <QFont>

namespace meterdesk::chart {

ScaleImage::ScaleImage(QSize size) : image_(size, QImage::Format_RGB32) {
    if (!image_.isNull()) {
        image_.fill(Qt::white);
    }
}

void ScaleImage::Clear() {
    if (!image_.isNull()) {
        image_.fill(Qt::white);
    }
}

void ScaleImage::SetPen(int width, Rgb colour) {
    pen_ = QPen(QColor(colour.r, colour.g, colour.b), width);
}

// A panel of no size has nothing to draw on: every operation is a no-op then.
void ScaleImage::Ellipse(Point from, Point to) {
    if (image_.isNull()) {
        return;
    }
    QPainter painter(&image_);
    painter.setPen(pen_);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRect(QPoint(from.x, from.y), QPoint(to.x - 1, to.y - 1)));
}

void ScaleImage::Line(Point from, Point to) {
    if (image_.isNull()) {
        return;
    }
    QPainter painter(&image_);
    painter.setPen(pen_);
    painter.drawLine(from.x, from.y, to.x, to.y);
}

void ScaleImage::Text(Point topLeft, std::string_view text) {
    if (image_.isNull()) {
        return;
    }
    QPainter painter(&image_);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    painter.drawText(QRect(topLeft.x, topLeft.y, 200, 40), Qt::AlignLeft | Qt::AlignTop,
                     QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace meterdesk::chart
