#include "sweep/sweep.h"

#include "midi/midi_channel.h"
#include "platform/event_loop.h"
#include "platform/text_conversions.h"
#include "sweep/sweep_record.h"
#include "sweep/sweep_view.h"

float sweepAngle = 0;
float sweepY = 0;
std::int32_t whole = 500;
SweepView* sweepWindow = nullptr;

namespace {

bool sweeping = false;
bool restartRequested = false;
bool stopRequested = false;

// Marks a sweep as running for as long as its loop runs, however the loop ends: a step that
// throws leaves no sweep marked as running, which would turn every later Run into a restart
// that no loop makes.
class RunningSweep {
public:
    RunningSweep() { sweeping = true; }
    ~RunningSweep() {
        sweeping = false;
        restartRequested = false;
        stopRequested = false;
    }
    RunningSweep(const RunningSweep&) = delete;
    RunningSweep& operator=(const RunningSweep&) = delete;
};

// As Run starts: the plot erased, then grey with its red frame and baseline.
void makePlotReady(SweepView& view) {
    view.refreshPlot();
    preparePlot(view.plotCanvas());
}

// The step drawn and struck; the read-outs follow once `record` has noted it.
template <typename Record>
void takeStep(SweepView& view, int index, const SweepStep& step, Record record) {
    drawSweepStep(view.plotCanvas(), step);
    sendNote(step.note);
    record();
    view.setEditXText(FloatToStr(step.x));
    view.setEditYText(FloatToStr(step.userY));
    view.plotStep = index;
}

// One step: the point's height, the pause, then the colours and the note with `whole` as it
// stands after the pause, the circle, the note and the read-outs; and its record.
void drawStep(SweepView& view, int index) {
    sweepY = sweepHeight(sweepAngle);
    Sleep(kSweepPauseMs);
    const SweepStep step = sweepStep(sweepAngle, sweepY, whole);
    takeStep(view, index, step, [&step] { recordSweepStep(step); });
}

} // namespace

void runSweep() {
    // No window, or one that has closed: nothing to sweep on.
    if (!sweepWindow)
        return;
    // A Run during a sweep starts the sweep again, and the interrupted one draws and sounds no
    // more. Starting afresh in the running loop, rather than in a sweep nested inside it,
    // keeps the stack flat however often Run is clicked.
    if (sweeping) {
        restartRequested = true;
        stopRequested = false;
        return;
    }
    const RunningSweep running;
    do {
        restartRequested = false;
        makePlotReady(*sweepWindow);
        sweepAngle = kSweepStartAngle;
        startSweepRecord();
        // Events may close the window, which leaves no window to sweep on.
        for (int index = 0;
             sweepWindow && !restartRequested && !stopRequested && sweepGoesOn(sweepAngle);
             ++index) {
            drawStep(*sweepWindow, index);
            ProcessMessages();
            sweepAngle = nextSweepAngle(sweepAngle);
        }
    } while (sweepWindow && restartRequested);
}

bool sweepRunning() {
    return sweeping;
}

void stopRunningSweep() {
    if (!sweeping)
        return;
    // The later of a stop and a Run handled in the same step is the one that counts.
    stopRequested = true;
    restartRequested = false;
}

void stopSweeps() {
    // With no window, a Run still queued behind the close finds nothing to sweep on, and the
    // running loop ends after its current step.
    sweepWindow = nullptr;
    restartRequested = false;
}

KeyStep stepSweep(StepMove move) {
    if (!sweepWindow || sweeping)
        return {KeyStep::Outcome::notNow, -1, {}};
    SweepView& view = *sweepWindow;
    const int at = view.plotStep.value_or(-1);
    int index = at;
    switch (move) {
    case StepMove::next:
        index = at + 1;
        break;
    case StepMove::previous:
        index = at - 1;
        break;
    case StepMove::first:
        index = 0;
        break;
    case StepMove::last:
        index = kSweepSteps - 1;
        break;
    }
    if (index < 0 || index >= kSweepSteps) {
        const SweepStep standing = at < 0 ? SweepStep{} : sweepStepAt(at, whole);
        return {index < 0 ? KeyStep::Outcome::pastFirst : KeyStep::Outcome::pastLast, at, standing};
    }
    if (!view.plotStep) {
        makePlotReady(view);
        startSweepRecord();
    }
    const SweepStep step = sweepStepAt(index, whole);
    sweepAngle = step.angle;
    sweepY = step.height;
    takeStep(view, index, step, [index, &step] { recordKeyStep(index, step); });
    return {KeyStep::Outcome::taken, index, step};
}
