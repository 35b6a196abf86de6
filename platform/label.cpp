#include "platform/label.h"

#include <QEvent>

void Label::setText(const QString& text) {
    QLabel::setText(text);
    fitToText();
}

void Label::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToText();
}

// The rectangle QLabel draws plain text into is its contents less its margin on each side.
// Until it has a text, a label keeps the size it was given: the width a word-wrapped label
// wraps at is set before its text.
void Label::fitToText() {
    if (text().isEmpty())
        return;
    const QMargins margins = contentsMargins() + QMargins(margin(), margin(), margin(), margin());
    const int flags = int(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    const int wrapWidth = wordWrap() ? width() - margins.left() - margins.right() : QWIDGETSIZE_MAX;
    QSize size =
        fontMetrics().boundingRect(QRect(0, 0, wrapWidth, QWIDGETSIZE_MAX), flags, text()).size();
    if (wordWrap())
        size.setWidth(qMax(size.width(), wrapWidth));
    resize(size.grownBy(margins));
}
