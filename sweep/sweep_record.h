#pragma once

#include "sweep/sweep_step.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What one sweep did: each step as it was drawn and sounded, with the whole it was taken with,
// and when it sent its note, in seconds from the sweep's start.
struct SweepRecord {
    std::vector<SweepStep> steps;
    std::vector<double> noteTimes;
};

// The sweep Run makes with `whole` left as it is, as it is meant to go: each note sent after
// exactly its pauses, the first 60 ms from the start.
SweepRecord plannedSweep(std::int32_t whole);

// A name for the sweep by its whole: "Sweep, whole = 500", or "Sweep, whole = 500 to 250" for
// one whose whole was changed while it ran.
std::string sweepTitle(const SweepRecord& sweep);

// The last sweep that ran to its end, as it went; nothing before the first.
const std::optional<SweepRecord>& lastSweep();

// The account of the steps taken, pass by pass. A pass is the steps taken in order from the
// first, by the Run sweep or by the keys; once it has all 126 it becomes the last sweep. A pass
// that is started again, stopped or left with a step out of order leaves the sweep before it as
// the last.
//
// A Run's pass starts with its plot made ready (startSweepRecord), and each step is noted as its
// note leaves (recordSweepStep), timed from the start. A step taken by a key (recordKeyStep)
// starts a pass when it is the first, goes on with the pass when it is the next, and ends the
// pass otherwise; it is kept as the sweep would have played it, 60 ms after the step before, so
// that a pass stepped through is kept as the sweep it drew and struck, not with the pauses
// between the keys.
void startSweepRecord();
void recordSweepStep(const SweepStep& step);
void recordKeyStep(int index, const SweepStep& step);
