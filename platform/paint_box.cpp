#include "platform/paint_box.h"

#include <QPainter>

#include <algorithm>

namespace {

QColor toQColor(Colour colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// The pixels of box (x1, y1, x2, y2), x2 and y2 exclusive, whichever way round it is given.
QRect boxPixels(int x1, int y1, int x2, int y2) {
    return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                 QPoint(std::max(x1, x2) - 1, std::max(y1, y2) - 1));
}

} // namespace

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the backing image: no need to erase underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaintBox::Refresh() {
    surface().fill(palette().color(backgroundRole()));
    repaint();
}

void PaintBox::rectangle(int x1, int y1, int x2, int y2) {
    const QRect box = boxPixels(x1, y1, x2, y2);
    if (box.isEmpty())
        return;
    QPainter painter(&surface());
    painter.fillRect(box, toQColor(penColour_));
    const QRect inside = box.adjusted(penWidth_, penWidth_, -penWidth_, -penWidth_);
    if (inside.isValid())
        painter.fillRect(inside, toQColor(brushColour_));
    drawn(box);
}

void PaintBox::ellipse(int x1, int y1, int x2, int y2) {
    const QRect box = boxPixels(x1, y1, x2, y2);
    if (box.isEmpty())
        return;
    QPainter painter(&surface());
    painter.setPen(QPen(toQColor(penColour_), penWidth_));
    painter.setBrush(toQColor(brushColour_));
    // The pen runs along the middle of the outline, half its width inside the box's edge.
    const qreal inset = penWidth_ / 2.0;
    painter.drawEllipse(QRectF(box.x() + inset, box.y() + inset, box.width() - penWidth_,
                               box.height() - penWidth_));
    drawn(box);
}

void PaintBox::lineTo(int x, int y) {
    const QPoint to(x, y);
    QPainter painter(&surface());
    painter.setPen(QPen(toQColor(penColour_), penWidth_));
    painter.drawLine(penPosition_, to);
    const int reach = penWidth_ / 2 + 1;
    drawn(QRect(penPosition_, to).normalized().adjusted(-reach, -reach, reach, reach));
    penPosition_ = to;
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
