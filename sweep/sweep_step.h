#pragma once

#include "ramps/colour.h"

#include <cstdint>

class Canvas;

// The sweep's arithmetic, one step at a time, apart from its pause, its device and its window:
// the Run sweep takes its steps from here, and so does everything that makes the same sweep
// elsewhere, so that they can never differ.

constexpr int kSweepSteps = 126;
constexpr unsigned kSweepPauseMs = 60; // before each step's colours, circle and note

// What one step draws, sounds and shows.
struct SweepStep {
    float angle;        // t, also the time axis
    float height;       // the point's screen y, 0 at the top of the plot
    std::int32_t whole; // the whole its colours and note were chosen with
    // The circle's box, x2 and y2 exclusive, coloured pen and brush.
    int x1, y1, x2, y2;
    Colour pen;
    Colour brush;
    std::int32_t note;
    // The read-outs' values: x, and the user's y (500 less the screen y).
    double x;
    double userY;

    bool operator==(const SweepStep&) const = default;
};

// The angle of the first step, π/2 as a 32-bit float.
constexpr float kSweepStartAngle = 1.5707963705062866f;

// Whether a step is taken at `angle`: up to 5π/2 inclusive; a NaN angle ends the sweep.
bool sweepGoesOn(float angle);

// The angle of the step after the one at `angle`.
float nextSweepAngle(float angle);

// The angle of step `index`, counted from 0 (up to kSweepSteps - 1).
float sweepStepAngle(int index);

// Where the point stands at `angle`: the step's first part, before its pause.
float sweepHeight(float angle);

// The rest of the step at `angle`, once its pause is over: the colours and the note for the
// point at `height`, chosen with `whole` as it stands then. midiRamp leaves the note in `note`,
// as it always does.
SweepStep sweepStep(float angle, float height, std::int32_t whole);

// Step `index` taken at once, without its pause, with `whole`.
SweepStep sweepStepAt(int index, std::int32_t whole);

// Makes the plot ready for a sweep: grey with a red frame, and the baseline below it.
void preparePlot(Canvas& plot);

// Draws the step's circle in its colours; the pen stays 1 pixel wide, as the plot is left by
// preparePlot.
void drawSweepStep(Canvas& plot, const SweepStep& step);
