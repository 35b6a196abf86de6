#pragma once

#include <QLineEdit>

// A single-line edit box that, when the focus moves on, shows the start of its text again,
// as it does before it is edited: a number too long for the box keeps its sign and point in
// view rather than its last digits.
class EditBox : public QLineEdit {
    Q_OBJECT

public:
    explicit EditBox(QWidget* parent = nullptr) : QLineEdit(parent) {}

    // Where the character at `offset` stands in the box, for assistive technology.
    QRect characterRect(int offset) const;

protected:
    void focusOutEvent(QFocusEvent* event) override;
};
