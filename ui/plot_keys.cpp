#include "ui/plot_keys.h"

#include "platform/application.h"
#include "platform/paint_box.h"
#include "sweep/spoken_step.h"
#include "sweep/sweep.h"

#include <QKeyEvent>

#include <optional>

namespace {

std::optional<StepMove> moveOf(int key) {
    switch (key) {
    case Qt::Key_Right:
        return StepMove::next;
    case Qt::Key_Left:
        return StepMove::previous;
    case Qt::Key_Home:
        return StepMove::first;
    case Qt::Key_End:
        return StepMove::last;
    default:
        return std::nullopt;
    }
}

bool runs(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

// Where the step's circle is drawn.
QRect circleOf(const SweepStep& step) {
    return QRect(QPoint(step.x1, step.y1), QPoint(step.x2 - 1, step.y2 - 1));
}

} // namespace

PlotKeys::PlotKeys(PaintBox* plot, std::function<void()> run)
    : QObject(plot), plot_(plot), run_(std::move(run)) {
    plot->installEventFilter(this);
}

bool PlotKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != plot_ || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // The arrows of the keypad too; any other modifier leaves the key to others.
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if (runs(key->key())) {
        // Held down, the key runs one sweep, as a held button clicks once.
        if (!key->isAutoRepeat())
            run_();
        return true;
    }
    const std::optional<StepMove> move = moveOf(key->key());
    if (!move)
        return false;
    try {
        const KeyStep taken = stepSweep(*move);
        switch (taken.outcome) {
        case KeyStep::Outcome::taken:
            plot_->say(spokenStep(taken.index, taken.step), circleOf(taken.step));
            break;
        case KeyStep::Outcome::pastFirst:
            plot_->say(kPastFirstSpoken, circleOf(taken.step));
            break;
        case KeyStep::Outcome::pastLast:
            plot_->say(kPastLastSpoken, circleOf(taken.step));
            break;
        case KeyStep::Outcome::notNow:
            break;
        }
    } catch (...) {
        ShowCurrentException();
    }
    // Taken even while a sweep runs: an arrow left to the window would scroll it.
    return true;
}
