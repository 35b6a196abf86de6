#include "platform/paint_box.h"

#include "platform/accessible_plot.h"
#include "platform/focus_ring.h"

#include <QPainter>

#include <utility>

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the backing image: no need to erase underneath first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    new FocusRing(this);
}

PaintBox::~PaintBox() {
    forgetSpoken();
}

void PaintBox::say(const QString& text, const QRect& area) {
    if (!hasFocus())
        return;
    auto* point = new SpokenPoint(this, text, area);
    const QAccessible::Id said =
        std::exchange(spoken_, QAccessible::registerAccessibleInterface(point));
    // A new object each time: a screen reader speaks an object as it takes the focus, not one
    // that has it already.
    QAccessibleEvent focus(point, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
    if (said)
        QAccessible::deleteAccessibleInterface(said);
}

QAccessibleInterface* PaintBox::spoken() const {
    return spoken_ ? QAccessible::accessibleInterface(spoken_) : nullptr;
}

void PaintBox::focusOutEvent(QFocusEvent* event) {
    forgetSpoken();
    QWidget::focusOutEvent(event);
}

void PaintBox::forgetSpoken() {
    if (spoken_)
        QAccessible::deleteAccessibleInterface(std::exchange(spoken_, 0));
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
