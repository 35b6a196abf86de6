#pragma once

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

// Ends a running sweep after its current step, drawing and sounding nothing more: the window
// is going away. No sweep starts again until a window is set in sweepWindow.
void stopSweeps();
