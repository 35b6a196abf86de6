#pragma once

#include <QGroupBox>

// A group box drawn flat on its own background: an etched frame with the title standing on
// its top edge, so that the background colour shows unchanged inside.
class GroupBox : public QGroupBox {
    Q_OBJECT

public:
    explicit GroupBox(QWidget* parent = nullptr) : QGroupBox(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};
