#include "platform/focus_ring.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

namespace {

// One pixel of the parent's background between the widget and a ring two pixels wide.
constexpr int kGap = 1;
constexpr int kWidth = 2;

} // namespace

FocusRing::FocusRing(QWidget* widget) : QObject(widget), widget_(widget) {
    widget->installEventFilter(this);
    follow();
}

QRect FocusRing::area() const {
    constexpr int reach = kGap + kWidth;
    return widget_->geometry().adjusted(-reach, -reach, reach, reach);
}

void FocusRing::follow() {
    if (parent_ == widget_->parentWidget())
        return;
    if (parent_)
        parent_->removeEventFilter(this);
    parent_ = widget_->parentWidget();
    if (parent_)
        parent_->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_) {
        switch (event->type()) {
        case QEvent::ParentChange:
            follow();
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Hide:
        case QEvent::Show:
            if (parent_)
                parent_->update(area());
            break;
        default:
            break;
        }
        return false;
    }
    if (watched != parent_ || event->type() != QEvent::Paint || !widget_->hasFocus() ||
        !widget_->isVisible())
        return false;
    const QRect inside = widget_->geometry().adjusted(-kGap, -kGap, kGap, kGap);
    const QRegion ring =
        static_cast<QPaintEvent*>(event)->region() & (QRegion(area()) - QRegion(inside));
    // Most of what the parent repaints, such as the read-outs during a sweep, is away from it.
    if (ring.isEmpty())
        return false;
    // The parent paints itself first, and the ring goes over what it painted.
    static_cast<QObject*>(parent_)->event(event);
    QPainter painter(parent_);
    painter.setClipRegion(ring);
    painter.fillRect(area(), widget_->palette().color(QPalette::Highlight));
    return true;
}
