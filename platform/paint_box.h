#pragma once

#include "platform/image_canvas.h"

#include <QImage>
#include <QWidget>

// A plot that keeps what is drawn on it in a backing image, so the drawing survives when
// the window is covered or repainted. Drawing marks only the touched rectangle for repaint.
class PaintBox : public QWidget, public ImageCanvas {
    Q_OBJECT

public:
    explicit PaintBox(QWidget* parent = nullptr);

    // Erases the plot to the window background and repaints it before returning.
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    QImage& target() override { return surface(); }
    void drawn(const QRect& area) override;

private:
    // The backing image, refitted to the widget's size when that has changed.
    QImage& surface();

    QImage image_;
};
