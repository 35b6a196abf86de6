#pragma once

#include "platform/edit_box.h"

#include <QRegularExpressionValidator>

// An edit box that takes digits only, typed or pasted; text with anything else is refused
// whole.
class DigitsEdit : public EditBox {
    Q_OBJECT

public:
    explicit DigitsEdit(QWidget* parent = nullptr) : EditBox(parent) {
        setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
    }
};
