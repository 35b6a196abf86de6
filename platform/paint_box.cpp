#include "platform/paint_box.h"

#include <QPainter>

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the backing image: no need to erase underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::Refresh() {
    surface().fill(palette().color(backgroundRole()));
    repaint();
}

void PaintBox::drawn(const QRect& area) {
    // A pixel more all round: at a fractional scale the device pixels at the area's edge
    // straddle it, and the repaint would leave out those it only just touches.
    update(area.adjusted(-1, -1, 1, 1).intersected(rect()));
}

// The image is drawn whole, clipped to what is to be repainted, so that each of its pixels lands
// on the same device pixel whatever part is repainted: at a fractional scale the plot's corner
// need not fall on a device pixel, and a part copied on its own lands on a grid of its own.
void PaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), surface());
}

QImage& PaintBox::surface() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (image_.size() != pixels || image_.devicePixelRatio() != ratio) {
        QImage fitted(pixels, QImage::Format_RGB32);
        fitted.setDevicePixelRatio(ratio);
        fitted.fill(palette().color(backgroundRole()));
        if (!image_.isNull()) {
            QPainter painter(&fitted);
            painter.drawImage(QPoint(0, 0), image_);
        }
        image_ = fitted;
    }
    return image_;
}
