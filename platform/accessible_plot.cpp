#include "platform/accessible_plot.h"

#include "platform/paint_box.h"

#include <QWidget>

#include <algorithm>

AccessiblePlot::AccessiblePlot(PaintBox* plot) : QAccessibleWidget(plot, QAccessible::Chart) {}

PaintBox* AccessiblePlot::plot() const {
    return static_cast<PaintBox*>(widget());
}

int AccessiblePlot::childCount() const {
    return plot()->spoken() ? 1 : 0;
}

QAccessibleInterface* AccessiblePlot::child(int index) const {
    return index == 0 ? plot()->spoken() : nullptr;
}

int AccessiblePlot::indexOfChild(const QAccessibleInterface* child) const {
    return child && child == plot()->spoken() ? 0 : -1;
}

QAccessibleInterface* AccessiblePlot::focusChild() const {
    return plot()->spoken();
}

SpokenPoint::SpokenPoint(PaintBox* plot, const QString& text, const QRect& area)
    : plot_(plot), text_(text), area_(area) {}

QWindow* SpokenPoint::window() const {
    return plot_->window()->windowHandle();
}

QAccessibleInterface* SpokenPoint::parent() const {
    return QAccessible::queryAccessibleInterface(plot_);
}

QString SpokenPoint::text(QAccessible::Text kind) const {
    return kind == QAccessible::Name ? text_ : QString();
}

// On the screen, within the plot: a point drawn below its bottom edge is shown at that edge, and
// none stands for the whole plot.
QRect SpokenPoint::rect() const {
    const QRect plot = plot_->rect();
    QRect area = area_.isEmpty() ? plot : area_;
    area.moveBottom(std::min(area.bottom(), plot.bottom()));
    area.moveTop(std::max(area.top(), plot.top()));
    area = area.intersected(plot);
    return QRect(plot_->mapToGlobal(area.topLeft()), area.size());
}

QAccessible::State SpokenPoint::state() const {
    QAccessible::State state;
    state.focusable = true;
    state.focused = plot_->hasFocus();
    return state;
}
