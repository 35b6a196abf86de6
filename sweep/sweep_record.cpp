#include "sweep/sweep_record.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

struct Recording {
    SweepRecord record;
    Clock::time_point start;
};

Recording& current() {
    static Recording recording;
    return recording;
}

std::optional<SweepRecord>& last() {
    static std::optional<SweepRecord> record;
    return record;
}

} // namespace

SweepRecord plannedSweep(std::int32_t whole) {
    SweepRecord record;
    for (int index = 0; index < kSweepSteps; ++index) {
        record.steps.push_back(sweepStepAt(index, whole));
        record.noteTimes.push_back((index + 1) * (kSweepPauseMs / 1000.0));
    }
    return record;
}

std::string sweepTitle(const SweepRecord& sweep) {
    if (sweep.steps.empty())
        return "Sweep";
    std::string title = "Sweep, whole = " + std::to_string(sweep.steps.front().whole);
    if (sweep.steps.back().whole != sweep.steps.front().whole)
        title += " to " + std::to_string(sweep.steps.back().whole);
    return title;
}

const std::optional<SweepRecord>& lastSweep() {
    return last();
}

void startSweepRecord() {
    current().record = {};
    current().start = Clock::now();
}

void recordSweepStep(const SweepStep& step) {
    Recording& recording = current();
    recording.record.steps.push_back(step);
    recording.record.noteTimes.push_back(
        std::chrono::duration<double>(Clock::now() - recording.start).count());
}

void finishSweepRecord() {
    // A pass that was started again or stopped has fewer steps: the sweep before it stays.
    if (current().record.steps.size() == kSweepSteps)
        last() = std::move(current().record);
    current().record = {};
}
