#pragma once

#include <QObject>

#include <functional>

class PaintBox;

// The keys of the focused plot, which explore the sweep step by step while none runs: Right and
// Left take the next and the previous step, Home and End the first and the last, each drawn,
// struck and shown at once, and said to a screen reader; past either end nothing moves, and the
// screen reader hears so. Enter or Space runs a sweep, as Run does.
class PlotKeys : public QObject {
    Q_OBJECT

public:
    PlotKeys(PaintBox* plot, std::function<void()> run);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PaintBox* plot_;
    std::function<void()> run_;
};
