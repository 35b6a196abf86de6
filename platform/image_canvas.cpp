#include "platform/image_canvas.h"

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

ImageCanvas::ImageCanvas(QSize size) {
    if (size.isEmpty())
        return;
    image_ = QImage(size, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

void ImageCanvas::rectangle(int x1, int y1, int x2, int y2) {
    const QRect box = boxPixels(x1, y1, x2, y2);
    if (box.isEmpty())
        return;
    QPainter painter(&target());
    painter.fillRect(box, toQColor(penColour_));
    const QRect inside = box.adjusted(penWidth_, penWidth_, -penWidth_, -penWidth_);
    if (inside.isValid())
        painter.fillRect(inside, toQColor(brushColour_));
    drawn(box);
}

void ImageCanvas::ellipse(int x1, int y1, int x2, int y2) {
    const QRect box = boxPixels(x1, y1, x2, y2);
    if (box.isEmpty())
        return;
    QPainter painter(&target());
    painter.setPen(QPen(toQColor(penColour_), penWidth_));
    painter.setBrush(toQColor(brushColour_));
    // The pen runs along the middle of the outline, half its width inside the box's edge.
    const qreal inset = penWidth_ / 2.0;
    painter.drawEllipse(QRectF(box.x() + inset, box.y() + inset, box.width() - penWidth_,
                               box.height() - penWidth_));
    drawn(box);
}

void ImageCanvas::lineTo(int x, int y) {
    const QPoint to(x, y);
    QPainter painter(&target());
    painter.setPen(QPen(toQColor(penColour_), penWidth_));
    painter.drawLine(penPosition_, to);
    const int reach = penWidth_ / 2 + 1;
    drawn(QRect(penPosition_, to).normalized().adjusted(-reach, -reach, reach, reach));
    penPosition_ = to;
}
