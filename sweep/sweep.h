#pragma once

#include "sweep/sweep_step.h"

#include <cstdint>

class SweepView;

// Program-wide state of the sweep; the angle and height keep their last values between sweeps.
extern float sweepAngle;       // the angle t in radians, also the time axis
extern float sweepY;           // the point's screen y in the plot, 0 at the top
extern std::int32_t whole;     // the span of one pass through colours and notes
extern SweepView* sweepWindow; // the main window's plot and read-outs, while it is open

// Moves the point along one period of the sine, drawing it, sounding it and showing its
// x and y at each of 126 steps, 60 ms apart. Pending events run at every step, a Run click
// among them: called during a sweep, it makes that sweep start again from the beginning, so
// only one sweep completes.
void runSweep();

// Whether a sweep is running.
bool sweepRunning();

// Ends the running sweep after its current step, as a user may at any step: what it drew
// stays, its last note rings out, and the plot stands at that step. A Run afterwards sweeps
// anew. Does nothing when no sweep runs.
void stopRunningSweep();

// Ends a running sweep after its current step, drawing and sounding nothing more: the window
// is going away. No sweep starts again until a window is set in sweepWindow.
void stopSweeps();

// Where a key moves the point: to the next or the previous step, or to the first or the last.
enum class StepMove { next, previous, first, last };

// What a key's move came to: a step taken, a move past the first or the last step, which
// takes none, or none while a sweep runs or no window is open.
struct KeyStep {
    enum class Outcome { taken, pastFirst, pastLast, notNow };
    Outcome outcome;
    int index;      // the step the plot stands at afterwards, from 0; -1 for none
    SweepStep step; // the step taken, or the one the plot stands at
};

// Takes one step of the sweep at once, with no pause and no sweep running: the move's step
// from the one the plot stands at (before the first, on a plot with no sweep on it), drawn,
// struck and shown as the sweep's own step with the current whole. The first step taken on a
// plot with no sweep on it makes the plot ready as Run does. Past the first or the last step
// nothing moves, is drawn or sounds; there is no wrapping round.
KeyStep stepSweep(StepMove move);
