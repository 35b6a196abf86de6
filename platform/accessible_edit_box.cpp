#include "platform/accessible_edit_box.h"

#include "platform/edit_box.h"

#include <QValidator>

#include <algorithm>

AccessibleEditBox::AccessibleEditBox(EditBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {
    addControllingSignal(QStringLiteral("textChanged(QString)"));
    addControllingSignal(QStringLiteral("returnPressed()"));
}

EditBox* AccessibleEditBox::box() const {
    return static_cast<EditBox*>(widget());
}

QString AccessibleEditBox::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Value)
        return box()->displayText();
    return QAccessibleWidget::text(kind);
}

void AccessibleEditBox::setText(QAccessible::Text kind, const QString& text) {
    if (kind == QAccessible::Value)
        edit(text);
    else
        QAccessibleWidget::setText(kind, text);
}

QAccessible::State AccessibleEditBox::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = !box()->isReadOnly();
    state.readOnly = box()->isReadOnly();
    state.passwordEdit = box()->echoMode() != QLineEdit::Normal;
    state.selectableText = true;
    return state;
}

void* AccessibleEditBox::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void AccessibleEditBox::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !box()->hasSelectedText())
        return;
    *startOffset = box()->selectionStart();
    *endOffset = box()->selectionEnd();
}

int AccessibleEditBox::selectionCount() const {
    return box()->hasSelectedText() ? 1 : 0;
}

void AccessibleEditBox::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void AccessibleEditBox::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        box()->deselect();
}

void AccessibleEditBox::setSelection(int selectionIndex, int startOffset, int endOffset) {
    const auto [start, end] = range(startOffset, endOffset);
    if (selectionIndex == 0)
        box()->setSelection(start, end - start);
}

int AccessibleEditBox::cursorPosition() const {
    return box()->cursorPosition();
}

void AccessibleEditBox::setCursorPosition(int position) {
    box()->setCursorPosition(within(position));
}

QString AccessibleEditBox::text(int startOffset, int endOffset) const {
    const auto [start, end] = range(startOffset, endOffset);
    return box()->displayText().mid(start, end - start);
}

int AccessibleEditBox::characterCount() const {
    return int(box()->displayText().size());
}

QRect AccessibleEditBox::characterRect(int offset) const {
    const QRect rect = box()->characterRect(offset);
    return QRect(box()->mapToGlobal(rect.topLeft()), rect.size());
}

int AccessibleEditBox::offsetAtPoint(const QPoint& point) const {
    return box()->cursorPositionAt(box()->mapFromGlobal(point));
}

void AccessibleEditBox::scrollToSubstring(int startIndex, int endIndex) {
    const auto [start, end] = range(startIndex, endIndex);
    box()->setCursorPosition(end);
    box()->setCursorPosition(start);
}

// An edit box has no attributes of its own, so one run, empty of attributes, covers its text.
QString AccessibleEditBox::attributes(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void AccessibleEditBox::deleteText(int startOffset, int endOffset) {
    const auto [start, end] = range(startOffset, endOffset);
    if (start < end)
        edit(box()->text().remove(start, end - start));
}

void AccessibleEditBox::insertText(int offset, const QString& text) {
    edit(box()->text().insert(within(offset), text));
}

void AccessibleEditBox::replaceText(int startOffset, int endOffset, const QString& text) {
    const auto [start, end] = range(startOffset, endOffset);
    edit(box()->text().replace(start, end - start, text));
}

// Offsets outside the text are taken as its nearer end: QString would count a negative one from
// the text's end, and delete its last digit for deleteText(-1, 0).
int AccessibleEditBox::within(int offset) const {
    return std::clamp(offset, 0, characterCount());
}

// A range given backwards is empty, at its start.
std::pair<int, int> AccessibleEditBox::range(int startOffset, int endOffset) const {
    const int start = within(startOffset);
    return {start, std::max(start, within(endOffset))};
}

void AccessibleEditBox::edit(QString text) {
    int position = 0;
    if (box()->validator() && box()->validator()->validate(text, position) == QValidator::Invalid)
        return;
    box()->setText(text);
}
