#pragma once

#include <QAccessibleWidget>

#include <utility>

class EditBox;

// An edit box as assistive technology reads and edits it. Qt's own interface for line edits
// reports every attribute run as empty, (offset, offset); a screen reader joining such runs
// loses the text's last character. Here the one run covers the whole text.
class AccessibleEditBox : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit AccessibleEditBox(EditBox* box);

    QString text(QAccessible::Text kind) const override;
    void setText(QAccessible::Text kind, const QString& text) override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    EditBox* box() const;
    int within(int offset) const;
    std::pair<int, int> range(int startOffset, int endOffset) const;
    // Sets the box's text as typing would: only text its validator accepts.
    void edit(QString text);
};
