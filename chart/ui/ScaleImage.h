#pragma once

#include "chart/BarScale.h"

#include <QImage>
#include <QPainter>

namespace meterdesk::chart {

// The bar scale's canvas: a white image the size of the scale panel, drawn
// with the canvas's default font on an opaque white text background.
class ScaleImage final : public Canvas {
public:
    explicit ScaleImage(QSize size);

    const QImage& Image() const { return image_; }

    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    void Clear() override;
    void SetPen(int width, Rgb colour) override;
    void Ellipse(Point from, Point to) override;
    void Line(Point from, Point to) override;
    void Text(Point topLeft, std::string_view text) override;

private:
    QImage image_;
    QPen pen_;
};

} // namespace meterdesk::chart
