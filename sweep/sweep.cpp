#include "sweep/sweep.h"

#include "midi/midi_channel.h"
#include "platform/canvas.h"
#include "platform/event_loop.h"
#include "platform/text_conversions.h"
#include "ramps/ramps.h"
#include "sweep/sweep_view.h"

#include <cmath>

float sweepAngle = 0;
float sweepY = 0;
std::int32_t whole = 500;
SweepView* sweepWindow = nullptr;

namespace {

// The step's arithmetic is done in extended precision (long double on x86-64), the angle
// and height stored as 32-bit floats between steps.
constexpr float kStartAngle = 1.5707963705062866f; // π/2 as a 32-bit float
constexpr double kEndAngle = 7.853981633974483;    // 5π/2, inclusive
constexpr double kAngleStep = 0.05;
constexpr long double kAmplitude = 250;
constexpr long double kHeight = 500;
constexpr int kPlotWidth = 660;
constexpr int kDiameter = 20;
constexpr unsigned kPauseMs = 60;

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

void preparePlot(Canvas& plot) {
    plot.setPenWidth(4);
    plot.setPenColor(colours::kRed);
    plot.setBrushColor(colours::kGrey);
    plot.rectangle(0, 0, kPlotWidth, static_cast<int>(kHeight));
    // The baseline lies on the first row below the plot, so the plot clips it away.
    plot.setPenWidth(1);
    plot.setPenColor(colours::kBlack);
    plot.moveTo(800, 500);
    plot.lineTo(0, 500);
}

void drawStep(SweepView& view) {
    Canvas& plot = view.plotCanvas();
    const long double t = sweepAngle;
    const long double x = 100 * t - 150;
    sweepY =
        static_cast<float>(std::sin(static_cast<double>(sweepAngle)) * kAmplitude + kAmplitude);
    Sleep(kPauseMs);
    const long double userY = kHeight - sweepY;
    plot.setPenColor(colorRamp(static_cast<std::int32_t>(sweepY), whole));
    plot.setBrushColor(colorRamp(static_cast<std::int32_t>(userY), whole));
    plot.ellipse(static_cast<int>(x), static_cast<int>(sweepY), static_cast<int>(x + kDiameter),
                 static_cast<int>(sweepY + static_cast<long double>(kDiameter)));
    note = midiRamp(static_cast<std::int32_t>(userY), whole);
    sendNote(note);
    view.setEditXText(FloatToStr(static_cast<double>(x)));
    view.setEditYText(FloatToStr(static_cast<double>(userY)));
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
        sweepAngle = kStartAngle;
        // Comparing in extended precision; a NaN angle ends the loop. Events may close the
        // window, which leaves no window to sweep on.
        while (sweepWindow && !restartRequested &&
               static_cast<long double>(sweepAngle) <= static_cast<long double>(kEndAngle)) {
            drawStep(*sweepWindow);
            ProcessMessages();
            sweepAngle = static_cast<float>(sweepAngle + static_cast<long double>(kAngleStep));
        }
    } while (sweepWindow && restartRequested);
}

void stopSweeps() {
    // With no window, a Run still queued behind the close finds nothing to sweep on, and the
    // running loop ends after its current step.
    sweepWindow = nullptr;
    restartRequested = false;
}
