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

// Marks a sweep as running for as long as its loop runs, however the loop ends: a step that
// throws leaves no sweep marked as running, which would turn every later Run into a restart
// that no loop makes.
class RunningSweep {
public:
    RunningSweep() { sweeping = true; }
    ~RunningSweep() {
        sweeping = false;
        restartRequested = false;
    }
    RunningSweep(const RunningSweep&) = delete;
    RunningSweep& operator=(const RunningSweep&) = delete;
};

// One step: the point's height, the pause, then the colours and the note with `whole` as it
// stands after the pause, the circle, the note and the read-outs; and its record.
void drawStep(SweepView& view) {
    sweepY = sweepHeight(sweepAngle);
    Sleep(kSweepPauseMs);
    const SweepStep step = sweepStep(sweepAngle, sweepY, whole);
    drawSweepStep(view.plotCanvas(), step);
    sendNote(step.note);
    recordSweepStep(step);
    view.setEditXText(FloatToStr(step.x));
    view.setEditYText(FloatToStr(step.userY));
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
        return;
    }
    const RunningSweep running;
    do {
        restartRequested = false;
        sweepWindow->refreshPlot();
        preparePlot(sweepWindow->plotCanvas());
        sweepAngle = kSweepStartAngle;
        startSweepRecord();
        // Events may close the window, which leaves no window to sweep on.
        while (sweepWindow && !restartRequested && sweepGoesOn(sweepAngle)) {
            drawStep(*sweepWindow);
            ProcessMessages();
            sweepAngle = nextSweepAngle(sweepAngle);
        }
        finishSweepRecord();
    } while (sweepWindow && restartRequested);
}

void stopSweeps() {
    // With no window, a Run still queued behind the close finds nothing to sweep on, and the
    // running loop ends after its current step.
    sweepWindow = nullptr;
    restartRequested = false;
}
