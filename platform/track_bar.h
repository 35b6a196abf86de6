#pragma once

#include <QSlider>

// A slider whose tick marks stand just below its handle, as a track bar's do, drawn in the
// text colour, rather than at the bottom edge of the control.
class TrackBar : public QSlider {
    Q_OBJECT

public:
    explicit TrackBar(QWidget* parent = nullptr) : QSlider(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};
