#pragma once

#include "platform/canvas.h"

#include <QImage>
#include <QPoint>
#include <QRect>

// A drawing surface on an image: the plot's backing image, or a picture drawn away from any
// window, with the very same pixels.
class ImageCanvas : public Canvas {
public:
    // A picture of `size` pixels, white until drawn on.
    explicit ImageCanvas(QSize size = {});

    // What is drawn, in device pixels.
    QImage picture() { return target(); }

    void setPenWidth(int width) override { penWidth_ = width < 1 ? 1 : width; }
    void setPenColor(Colour colour) override { penColour_ = colour; }
    void setBrushColor(Colour colour) override { brushColour_ = colour; }
    void rectangle(int x1, int y1, int x2, int y2) override;
    void ellipse(int x1, int y1, int x2, int y2) override;
    void moveTo(int x, int y) override { penPosition_ = QPoint(x, y); }
    void lineTo(int x, int y) override;

protected:
    // The image drawn on; a widget refits it to its size first.
    virtual QImage& target() { return image_; }
    // Told of each area drawn on, in the image's coordinates (before any device pixel ratio).
    virtual void drawn(const QRect& /*area*/) {}

private:
    QImage image_;
    int penWidth_ = 1;
    Colour penColour_ = colours::kBlack;
    Colour brushColour_ = 0xFFFFFF;
    QPoint penPosition_;
};
