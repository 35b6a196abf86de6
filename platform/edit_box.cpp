#include "platform/edit_box.h"

#include <QFocusEvent>

// The cursor's rectangle stands at the current position; another offset's stands as far from
// it as the text between them is wide.
QRect EditBox::characterRect(int offset) const {
    const QString shown = displayText();
    offset = qBound(0, offset, int(shown.size()));
    const QFontMetrics metrics = fontMetrics();
    const int x = cursorRect().center().x() + metrics.horizontalAdvance(shown.left(offset)) -
                  metrics.horizontalAdvance(shown.left(cursorPosition()));
    const int width = offset < shown.size() ? metrics.horizontalAdvance(shown.at(offset)) : 0;
    return QRect(x, cursorRect().top(), width, cursorRect().height());
}

// Leaving the window, or opening the box's menu, is no end of editing.
void EditBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        home(false);
}
