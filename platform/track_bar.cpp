#include "platform/track_bar.h"

#include <QPainter>
#include <QStyleOptionSlider>

namespace {
constexpr int kTickGap = 2;
constexpr int kTickLength = 4;
} // namespace

void TrackBar::paintEvent(QPaintEvent* event) {
    if (orientation() != Qt::Horizontal || tickPosition() != TicksBelow || tickInterval() <= 0) {
        QSlider::paintEvent(event);
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    QPainter painter(this);
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    // A tick under the handle's middle at each value it marks: every interval from the
    // minimum, and the maximum.
    QList<int> marks;
    for (qint64 value = minimum(); value < maximum(); value += tickInterval())
        marks << int(value);
    marks << maximum();
    painter.setPen(palette().color(QPalette::WindowText));
    for (int mark : marks) {
        option.sliderPosition = mark;
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const int top = handle.bottom() + 1 + kTickGap;
        painter.drawLine(handle.center().x(), top, handle.center().x(), top + kTickLength - 1);
    }
}
