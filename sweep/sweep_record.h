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

// The Run sweep's account of itself: a pass starts afresh, each step is noted as its note
// leaves, and a pass that took all its steps becomes the last sweep.
void startSweepRecord();
void recordSweepStep(const SweepStep& step);
void finishSweepRecord();
