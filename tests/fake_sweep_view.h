#pragma once

#include "platform/canvas.h"
#include "sweep/sweep.h"
#include "sweep/sweep_view.h"

#include <QRect>

#include <vector>

// A main window that records what a sweep does to it: every circle with the colours it was
// drawn in, and the read-outs' texts after each circle.
class FakeSweepView : public SweepView, public Canvas {
public:
    struct Circle {
        QRect box; // from (x1, y1) to (x2, y2) as given: right() is x2
        Colour pen;
        Colour brush;
        QString x;
        QString y;
    };

    FakeSweepView() { sweepWindow = this; }
    ~FakeSweepView() { sweepWindow = nullptr; }

    std::vector<Circle> circles;
    std::vector<QRect> rectangles;
    int refreshes = 0;
    int penWidth = 0;
    Colour penColour = 0xFFFFFFFF;
    Colour brushColour = 0xFFFFFFFF;
    std::vector<QString> penTrail; // "move x,y" and "line x,y"

    Canvas& plotCanvas() override { return *this; }
    void refreshPlot() override { ++refreshes; }
    void setEditXText(const QString& text) override { circles.back().x = text; }
    void setEditYText(const QString& text) override { circles.back().y = text; }

    void setPenWidth(int width) override { penWidth = width; }
    void setPenColor(Colour colour) override { penColour = colour; }
    void setBrushColor(Colour colour) override { brushColour = colour; }
    void rectangle(int x1, int y1, int x2, int y2) override {
        rectangles.emplace_back(QPoint(x1, y1), QPoint(x2, y2));
    }
    void ellipse(int x1, int y1, int x2, int y2) override {
        circles.push_back({QRect(QPoint(x1, y1), QPoint(x2, y2)), penColour, brushColour, {}, {}});
    }
    void moveTo(int x, int y) override { penTrail.push_back(QString("move %1,%2").arg(x).arg(y)); }
    void lineTo(int x, int y) override { penTrail.push_back(QString("line %1,%2").arg(x).arg(y)); }
};
