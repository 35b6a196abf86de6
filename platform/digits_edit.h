#pragma once

#include <QLineEdit>
#include <QRegularExpressionValidator>

// An edit box that takes digits only, typed or pasted; text with anything else is refused
// whole.
class DigitsEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit DigitsEdit(QWidget* parent = nullptr) : QLineEdit(parent) {
        setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
    }
};
