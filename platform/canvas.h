#pragma once

#include "ramps/colour.h"

// A drawing surface with a pen for outlines and lines and a brush for fills. Boxes are
// (x1, y1, x2, y2) with x2 and y2 exclusive: a shape and its outline stay inside its box.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void setPenWidth(int width) = 0;
    virtual void setPenColor(Colour colour) = 0;
    virtual void setBrushColor(Colour colour) = 0;

    virtual void rectangle(int x1, int y1, int x2, int y2) = 0;
    virtual void ellipse(int x1, int y1, int x2, int y2) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
};
