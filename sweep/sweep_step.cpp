#include "sweep/sweep_step.h"

#include "platform/canvas.h"
#include "ramps/ramps.h"

#include <cmath>

namespace {

// The step's arithmetic is done in extended precision (long double on x86-64), the angle
// and height stored as 32-bit floats between steps.
constexpr double kEndAngle = 7.853981633974483; // 5π/2, inclusive
constexpr double kAngleStep = 0.05;
constexpr long double kAmplitude = 250;
constexpr long double kHeight = 500;
constexpr int kPlotWidth = 660;
constexpr int kDiameter = 20;

} // namespace

bool sweepGoesOn(float angle) {
    // Compared in extended precision; a NaN compares false.
    return static_cast<long double>(angle) <= static_cast<long double>(kEndAngle);
}

float nextSweepAngle(float angle) {
    return static_cast<float>(angle + static_cast<long double>(kAngleStep));
}

float sweepStepAngle(int index) {
    float angle = kSweepStartAngle;
    for (int i = 0; i < index; ++i)
        angle = nextSweepAngle(angle);
    return angle;
}

float sweepHeight(float angle) {
    return static_cast<float>(std::sin(static_cast<double>(angle)) * kAmplitude + kAmplitude);
}

SweepStep sweepStep(float angle, float height, std::int32_t whole) {
    const long double t = angle;
    const long double x = 100 * t - 150;
    const long double userY = kHeight - height;
    SweepStep step{};
    step.angle = angle;
    step.height = height;
    step.whole = whole;
    step.pen = colorRamp(static_cast<std::int32_t>(height), whole);
    step.brush = colorRamp(static_cast<std::int32_t>(userY), whole);
    step.x1 = static_cast<int>(x);
    step.y1 = static_cast<int>(height);
    step.x2 = static_cast<int>(x + kDiameter);
    step.y2 = static_cast<int>(height + static_cast<long double>(kDiameter));
    step.note = midiRamp(static_cast<std::int32_t>(userY), whole);
    step.x = static_cast<double>(x);
    step.userY = static_cast<double>(userY);
    return step;
}

SweepStep sweepStepAt(int index, std::int32_t whole) {
    const float angle = sweepStepAngle(index);
    return sweepStep(angle, sweepHeight(angle), whole);
}

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

void drawSweepStep(Canvas& plot, const SweepStep& step) {
    plot.setPenColor(step.pen);
    plot.setBrushColor(step.brush);
    plot.ellipse(step.x1, step.y1, step.x2, step.y2);
}
