#pragma once

#include <QString>

#include <optional>

class Canvas;

// What a sweep works on: the plot PaintBox1 and the read-outs EditX and EditY of the main
// window.
class SweepView {
public:
    virtual Canvas& plotCanvas() = 0;
    // Erases the plot at once.
    virtual void refreshPlot() = 0;
    virtual void setEditXText(const QString& text) = 0;
    virtual void setEditYText(const QString& text) = 0;

    // The step the plot stands at, counted from 0: the last one a sweep or a key took on it.
    // Nothing while the plot has no sweep on it.
    std::optional<int> plotStep;

protected:
    ~SweepView() = default;
};
