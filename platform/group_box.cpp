#include "platform/group_box.h"

#include <QPainter>

namespace {
constexpr int kTitleIndent = 8;
} // namespace

void GroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));

    const QRect titleArea(kTitleIndent, 0, metrics.horizontalAdvance(title()), metrics.height());
    painter.fillRect(titleArea, palette().color(backgroundRole()));
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, title());
}
