#pragma once

#include "platform/canvas.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

// A plot that keeps what is drawn on it in a backing image, so the drawing survives when
// the window is covered or repainted. Drawing marks only the touched rectangle for repaint.
class PaintBox : public QWidget, public Canvas {
    Q_OBJECT

public:
    explicit PaintBox(QWidget* parent = nullptr);

    // Erases the plot to the window background and repaints it before returning.
    void Refresh();

    // What is drawn, in device pixels.
    QImage picture() { return surface(); }

    void setPenWidth(int width) override { penWidth_ = width < 1 ? 1 : width; }
    void setPenColor(Colour colour) override { penColour_ = colour; }
    void setBrushColor(Colour colour) override { brushColour_ = colour; }
    void rectangle(int x1, int y1, int x2, int y2) override;
    void ellipse(int x1, int y1, int x2, int y2) override;
    void moveTo(int x, int y) override { penPosition_ = QPoint(x, y); }
    void lineTo(int x, int y) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The backing image, refitted to the widget's size when that has changed.
    QImage& surface();
    void drawn(const QRect& area);

    QImage image_;
    int penWidth_ = 1;
    Colour penColour_ = colours::kBlack;
    Colour brushColour_ = 0xFFFFFF;
    QPoint penPosition_;
};
