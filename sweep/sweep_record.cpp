#include "sweep/sweep_record.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

struct Recording {
    SweepRecord record;
    Clock::time_point start;
};

// The pass being taken, while there is one.
std::optional<Recording>& current() {
    static std::optional<Recording> recording;
    return recording;
}

std::optional<SweepRecord>& last() {
    static std::optional<SweepRecord> record;
    return record;
}

void note(Recording& recording, const SweepStep& step, double time) {
    recording.record.steps.push_back(step);
    recording.record.noteTimes.push_back(time);
    if (recording.record.steps.size() == kSweepSteps) {
        last() = std::move(recording.record);
        current().reset();
    }
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
    current() = Recording{{}, Clock::now()};
}

void recordSweepStep(const SweepStep& step) {
    if (!current())
        return;
    note(*current(), step, std::chrono::duration<double>(Clock::now() - current()->start).count());
}

void recordKeyStep(int index, const SweepStep& step) {
    constexpr double kPause = kSweepPauseMs / 1000.0;
    if (index == 0)
        startSweepRecord();
    else if (!current() || current()->record.steps.size() != static_cast<size_t>(index)) {
        current().reset();
        return;
    }
    const auto& times = current()->record.noteTimes;
    note(*current(), step, (times.empty() ? 0.0 : times.back()) + kPause);
}
