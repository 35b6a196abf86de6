#pragma once

#include <QLabel>

// A static text that sizes itself to its text, keeping its left and top: no text is clipped,
// whatever the font's advance. A word-wrapped label keeps its width as the width it wraps at,
// and widens only for a word longer than that.
class Label : public QLabel {
    Q_OBJECT

public:
    explicit Label(QWidget* parent = nullptr) : QLabel(parent) {}

    // Hides QLabel::setText, which cannot be overridden, so that the layout's texts, set
    // through this type, fit.
    void setText(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void fitToText();
};
