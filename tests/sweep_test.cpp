#include "fake_sweep_view.h"
#include "midi/midi_channel.h"
#include "platform/event_loop.h"
#include "platform/text_conversions.h"
#include "ramps/ramps.h"
#include "recording_midi_out.h"
#include "sweep/sweep.h"
#include "sweep/sweep_record.h"
#include "sweep/sweep_step.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <thread>

namespace {

// A sweep against a recording window and device, its pauses taking no time. `atStep(n)`
// runs an action as a pending event that the sweep's n-th step handles (steps from 1).
class SweepTest : public testing::Test {
protected:
    void SetUp() override {
        openMidiChannel();
        device.words.clear();
        whole = 500;
        previousSleeper = setSleeper([this](unsigned milliseconds) {
            EXPECT_EQ(milliseconds, 60u);
            ++steps;
            if (auto action = actions.find(steps); action != actions.end())
                QTimer::singleShot(0, action->second);
        });
    }
    void TearDown() override { setSleeper(previousSleeper); }

    void atStep(int step, std::function<void()> action) { actions[step] = std::move(action); }

    std::vector<int> notes() const {
        std::vector<int> result;
        for (std::uint32_t word : device.words) {
            EXPECT_EQ(word & 0xFFFF00FF, 0x00640090u) << "a note-on, velocity 100, channel 1";
            result.push_back(int(word >> 8 & 0xFF));
        }
        return result;
    }

    RecordingDevice device;
    FakeSweepView view;
    int steps = 0;
    std::map<int, std::function<void()>> actions;
    std::function<void(unsigned)> previousSleeper;
};

// What each circle must be, given its box and read-outs: the outline coloured by the screen
// y, the fill and the note by the user's y, both with the given whole.
void expectConsistent(const FakeSweepView::Circle& c, int note, std::int32_t whole) {
    const int userY = static_cast<int>(c.y.toDouble());
    EXPECT_EQ(c.box.right() - c.box.left(), 20);
    EXPECT_EQ(c.box.bottom() - c.box.top(), 20);
    EXPECT_EQ(c.pen, colorRamp(c.box.top(), whole));
    EXPECT_EQ(c.brush, colorRamp(userY, whole));
    EXPECT_EQ(note, midiRamp(userY, whole));
    EXPECT_EQ(c.box.left(), static_cast<int>(c.x.toDouble()));
}

} // namespace

TEST_F(SweepTest, WholeOf500TracesTheSineOnceRisingAndFalling) {
    runSweep();
    ASSERT_EQ(view.circles.size(), 126u);
    const std::vector<int> notes = this->notes();
    ASSERT_EQ(notes.size(), 126u);

    EXPECT_EQ(view.refreshes, 1);
    ASSERT_EQ(view.rectangles.size(), 1u);
    EXPECT_EQ(view.rectangles[0], QRect(QPoint(0, 0), QPoint(660, 500)));
    EXPECT_EQ(view.penTrail, (std::vector<QString>{"move 800,500", "line 0,500"}));

    const auto& first = view.circles.front();
    EXPECT_EQ(first.box, QRect(QPoint(7, 500), QPoint(27, 520)));
    EXPECT_EQ(first.pen, 0u);
    EXPECT_EQ(first.brush, 0u);
    EXPECT_EQ(first.x, "7.07963705062866");
    EXPECT_EQ(first.y, "0");
    EXPECT_EQ(view.circles[63].box.left(), 322);
    EXPECT_EQ(view.circles[63].y, "499.991163073108");
    EXPECT_EQ(view.circles.back().box.left(), 632);
    EXPECT_EQ(view.circles.back().x, "632.080888748169");
    EXPECT_EQ(view.circles.back().y, "0.137542724609375");

    for (int step = 1; step <= 126; ++step) {
        SCOPED_TRACE(step);
        const int note = notes[step - 1];
        if (step <= 6 || step >= 121) {
            EXPECT_EQ(note, 35);
        }
        if (step >= 59 && step <= 69) {
            EXPECT_EQ(note, 81);
        }
        if (step > 1) {
            EXPECT_TRUE(step <= 64 ? note >= notes[step - 2] : note <= notes[step - 2]);
        }
        expectConsistent(view.circles[step - 1], note, 500);
    }
    // The pen and brush of the last step stay set, with the pen 1 pixel wide.
    EXPECT_EQ(view.penWidth, 1);
    EXPECT_EQ(view.penColour, view.circles.back().pen);
    EXPECT_EQ(view.brushColour, view.circles.back().brush);
    EXPECT_EQ(::note, notes.back());
}

TEST_F(SweepTest, WholeOf1MakesEveryCircleBlackAndEveryNote35) {
    whole = 1;
    runSweep();
    ASSERT_EQ(view.circles.size(), 126u);
    for (const auto& c : view.circles) {
        EXPECT_EQ(c.pen, 0u);
        EXPECT_EQ(c.brush, 0u);
    }
    EXPECT_EQ(notes(), std::vector<int>(126, 35));
}

TEST_F(SweepTest, WholeChangedDuringASweepCountsFromTheNextStep) {
    atStep(40, [] { whole = 250; });
    runSweep();
    const std::vector<int> notes = this->notes();
    ASSERT_EQ(notes.size(), 126u);
    for (int step = 1; step <= 126; ++step) {
        SCOPED_TRACE(step);
        expectConsistent(view.circles[step - 1], notes[step - 1], step <= 40 ? 500 : 250);
    }
}

TEST_F(SweepTest, RunDuringASweepStartsAgainAndOnlyOneSweepCompletes) {
    runSweep();
    const auto alone = view.circles;
    view.circles.clear();
    view.refreshes = 0;
    device.words.clear();
    steps = 0;

    atStep(30, [] { runSweep(); });
    runSweep();
    EXPECT_EQ(view.refreshes, 2);
    ASSERT_EQ(view.circles.size(), 30u + 126u);
    EXPECT_EQ(device.words.size(), 30u + 126u);
    for (size_t i = 0; i < 126; ++i) {
        EXPECT_EQ(view.circles[30 + i].box, alone[i].box);
        EXPECT_EQ(view.circles[30 + i].y, alone[i].y);
    }
}

// A user who clicks Run on and on must not pile sweep upon sweep on the stack.
TEST_F(SweepTest, RunAtEveryStepStartsAgainWithoutNesting) {
    constexpr int kClicks = 5000;
    const char* firstStep = nullptr;
    std::ptrdiff_t deepest = 0;
    setSleeper([&](unsigned) {
        // The frame's own address on the thread's stack: a local's may lie elsewhere, as the
        // address sanitizer keeps locals on stacks of its own to catch their use after return.
        const auto* here = static_cast<const char*>(__builtin_frame_address(0));
        if (!firstStep)
            firstStep = here;
        deepest = std::max(deepest, firstStep - here);
        if (++steps <= kClicks)
            QTimer::singleShot(0, [] { runSweep(); });
    });
    runSweep();
    EXPECT_EQ(view.refreshes, kClicks + 1);
    EXPECT_EQ(view.circles.size(), size_t{kClicks + 126});
    EXPECT_LT(deepest, 64 * 1024) << "bytes of stack";
}

TEST_F(SweepTest, StoppingEndsEverySweepAtOnce) {
    atStep(10, [] { runSweep(); });
    atStep(20, [] { stopSweeps(); });
    runSweep();
    EXPECT_EQ(view.circles.size(), 20u);
    EXPECT_EQ(device.words.size(), 20u);
}

// The steps taken one at a time, without pauses, are the Run sweep's own: its circles, its
// colours, its notes and its read-outs, for every whole.
class SweepStepTest : public SweepTest, public testing::WithParamInterface<std::int32_t> {};

TEST_P(SweepStepTest, EachStepTakenAloneIsTheRunSweepsStep) {
    whole = GetParam();
    runSweep();
    ASSERT_EQ(view.circles.size(), size_t{kSweepSteps});
    const std::vector<int> notes = this->notes();
    for (int index = 0; index < kSweepSteps; ++index) {
        SCOPED_TRACE(index);
        const SweepStep step = sweepStepAt(index, whole);
        const auto& circle = view.circles[index];
        EXPECT_EQ(circle.box, QRect(QPoint(step.x1, step.y1), QPoint(step.x2, step.y2)));
        EXPECT_EQ(circle.pen, step.pen);
        EXPECT_EQ(circle.brush, step.brush);
        EXPECT_EQ(circle.x, FloatToStr(step.x));
        EXPECT_EQ(circle.y, FloatToStr(step.userY));
        EXPECT_EQ(notes[index], step.note);
        EXPECT_EQ(step.whole, whole);
        EXPECT_TRUE(sweepGoesOn(step.angle));
    }
    EXPECT_FALSE(sweepGoesOn(sweepStepAngle(kSweepSteps)));
}

INSTANTIATE_TEST_SUITE_P(Wholes, SweepStepTest, testing::Values(500, 250, 7, 1, 1000));

TEST_F(SweepTest, ASweepLeftAloneIsRecordedAsPlanned) {
    whole = 250;
    runSweep();
    ASSERT_TRUE(lastSweep());
    EXPECT_EQ(lastSweep()->steps, plannedSweep(250).steps);
    EXPECT_EQ(lastSweep()->noteTimes.size(), size_t{kSweepSteps});
}

TEST_F(SweepTest, TheRecordHoldsWhatWasDrawnAndSentWithWholeChangedDuringIt) {
    atStep(40, [] { whole = 7; });
    runSweep();
    ASSERT_TRUE(lastSweep());
    const auto& steps = lastSweep()->steps;
    ASSERT_EQ(steps.size(), view.circles.size());
    const std::vector<int> notes = this->notes();
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& circle = view.circles[i];
        EXPECT_EQ(QRect(QPoint(steps[i].x1, steps[i].y1), QPoint(steps[i].x2, steps[i].y2)),
                  circle.box);
        EXPECT_EQ(steps[i].pen, circle.pen);
        EXPECT_EQ(steps[i].brush, circle.brush);
        EXPECT_EQ(steps[i].note, notes[i]);
        EXPECT_EQ(steps[i].whole, i < 40 ? 500 : 7);
    }
}

TEST_F(SweepTest, TheRecordTimesEachNoteFromTheSweepsStart) {
    constexpr auto kPause = std::chrono::milliseconds(2);
    setSleeper([&](unsigned) { std::this_thread::sleep_for(kPause); });
    runSweep();
    ASSERT_TRUE(lastSweep());
    const auto& times = lastSweep()->noteTimes;
    ASSERT_EQ(times.size(), size_t{kSweepSteps});
    EXPECT_GE(times.front(), 0.002);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 0.002) << i;
}

// Only a sweep that took all its steps is kept: one started again gives way to the pass that
// ends, and one stopped leaves the sweep before it as the last.
TEST_F(SweepTest, OnlyASweepThatRanToItsEndIsKept) {
    atStep(30, [] {
        whole = 7;
        runSweep();
    });
    runSweep();
    ASSERT_TRUE(lastSweep());
    EXPECT_EQ(lastSweep()->steps, plannedSweep(7).steps);

    steps = 0;
    actions.clear();
    atStep(20, [] {
        whole = 500;
        stopSweeps();
    });
    runSweep();
    ASSERT_TRUE(lastSweep());
    EXPECT_EQ(lastSweep()->steps, plannedSweep(7).steps);
}

namespace {

// The steps the keys take on the recording window, with no sweep running.
class KeyStepTest : public SweepTest {
protected:
    KeyStep press(StepMove move, int times = 1) {
        KeyStep taken{};
        for (int i = 0; i < times; ++i)
            taken = stepSweep(move);
        return taken;
    }
};

} // namespace

// Stepped through from the first step to the last, the plot and the notes are a Run's.
TEST_F(KeyStepTest, StepsTakenOneByOneFromTheFirstToTheLastAreARunsSweep) {
    runSweep();
    const auto runCircles = view.circles;
    const auto runNotes = notes();
    const auto runTrail = view.penTrail;
    device.words.clear();
    const int pauses = steps;

    FakeSweepView stepped;
    for (int index = 0; index < kSweepSteps; ++index) {
        const KeyStep taken = stepSweep(StepMove::next);
        ASSERT_EQ(taken.outcome, KeyStep::Outcome::taken) << index;
        EXPECT_EQ(taken.index, index);
        EXPECT_EQ(taken.step, sweepStepAt(index, whole));
    }
    EXPECT_EQ(steps, pauses) << "no pause";
    EXPECT_EQ(stepped.refreshes, 1);
    EXPECT_EQ(stepped.rectangles, view.rectangles) << "the grey field and the red frame";
    EXPECT_EQ(stepped.penTrail, runTrail) << "the baseline";
    ASSERT_EQ(stepped.circles.size(), runCircles.size());
    for (size_t i = 0; i < runCircles.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stepped.circles[i].box, runCircles[i].box);
        EXPECT_EQ(stepped.circles[i].pen, runCircles[i].pen);
        EXPECT_EQ(stepped.circles[i].brush, runCircles[i].brush);
        EXPECT_EQ(stepped.circles[i].x, runCircles[i].x);
        EXPECT_EQ(stepped.circles[i].y, runCircles[i].y);
    }
    EXPECT_EQ(notes(), runNotes);
    EXPECT_EQ(stepped.plotStep, kSweepSteps - 1);
}

struct Move {
    const char* name;
    std::optional<int> from; // where the plot stands before, nothing for a plot with no sweep
    StepMove move;
    KeyStep::Outcome outcome;
    int index; // where it stands after
};

void PrintTo(const Move& move, std::ostream* out) {
    *out << move.name;
}

class KeyMoveTest : public KeyStepTest, public testing::WithParamInterface<Move> {};

// Each key from where the plot stands: a step taken draws its circle with the current whole,
// strikes its note and writes the read-outs; past either end nothing moves, is drawn or sounds,
// and nothing wraps round.
TEST_P(KeyMoveTest, TakesItsStepOrNone) {
    const Move& move = GetParam();
    whole = 250;
    if (move.from)
        view.plotStep = move.from;
    const KeyStep taken = stepSweep(move.move);
    EXPECT_EQ(taken.outcome, move.outcome);
    EXPECT_EQ(taken.index, move.index);
    EXPECT_EQ(view.plotStep, move.index < 0 ? std::nullopt : std::optional<int>(move.index));
    if (move.outcome != KeyStep::Outcome::taken) {
        EXPECT_TRUE(view.circles.empty());
        EXPECT_TRUE(view.rectangles.empty());
        EXPECT_EQ(view.refreshes, 0);
        EXPECT_TRUE(device.words.empty());
        return;
    }
    const SweepStep step = sweepStepAt(move.index, 250);
    ASSERT_EQ(view.circles.size(), 1u);
    EXPECT_EQ(view.circles[0].box, QRect(QPoint(step.x1, step.y1), QPoint(step.x2, step.y2)));
    EXPECT_EQ(view.circles[0].pen, step.pen);
    EXPECT_EQ(view.circles[0].brush, step.brush);
    EXPECT_EQ(view.circles[0].x, FloatToStr(step.x));
    EXPECT_EQ(view.circles[0].y, FloatToStr(step.userY));
    EXPECT_EQ(notes(), std::vector<int>{step.note});
    // Only a plot with no sweep on it is made ready first.
    EXPECT_EQ(view.refreshes, move.from ? 0 : 1);
    EXPECT_EQ(view.rectangles.size(), move.from ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyMoveTest,
    testing::Values(
        Move{"RightOnANewPlot", std::nullopt, StepMove::next, KeyStep::Outcome::taken, 0},
        Move{"LeftOnANewPlot", std::nullopt, StepMove::previous, KeyStep::Outcome::pastFirst, -1},
        Move{"HomeOnANewPlot", std::nullopt, StepMove::first, KeyStep::Outcome::taken, 0},
        Move{"EndOnANewPlot", std::nullopt, StepMove::last, KeyStep::Outcome::taken, 125},
        Move{"RightInTheMiddle", 63, StepMove::next, KeyStep::Outcome::taken, 64},
        Move{"LeftInTheMiddle", 63, StepMove::previous, KeyStep::Outcome::taken, 62},
        Move{"HomeInTheMiddle", 63, StepMove::first, KeyStep::Outcome::taken, 0},
        Move{"EndInTheMiddle", 63, StepMove::last, KeyStep::Outcome::taken, 125},
        Move{"LeftAtTheFirst", 0, StepMove::previous, KeyStep::Outcome::pastFirst, 0},
        Move{"HomeAtTheFirst", 0, StepMove::first, KeyStep::Outcome::taken, 0},
        Move{"RightAtTheLast", 125, StepMove::next, KeyStep::Outcome::pastLast, 125},
        Move{"EndAtTheLast", 125, StepMove::last, KeyStep::Outcome::taken, 125},
        Move{"LeftAtTheLast", 125, StepMove::previous, KeyStep::Outcome::taken, 124}),
    [](const testing::TestParamInfo<Move>& info) { return info.param.name; });

TEST_F(KeyStepTest, NoKeyStepsWhileASweepRuns) {
    KeyStep during{};
    atStep(30, [&during] { during = stepSweep(StepMove::next); });
    runSweep();
    EXPECT_EQ(during.outcome, KeyStep::Outcome::notNow);
    EXPECT_EQ(view.circles.size(), size_t{kSweepSteps});
    EXPECT_EQ(device.words.size(), size_t{kSweepSteps});
    // Once it has ended, the plot stands at its last step.
    EXPECT_EQ(stepSweep(StepMove::next).outcome, KeyStep::Outcome::pastLast);
    EXPECT_EQ(stepSweep(StepMove::previous).index, kSweepSteps - 2);
}

// A stop ends the sweep after the step that handles it: its circles stay, no note follows, and
// the keys go on from that step. The later of a stop and a Run handled in the same step counts.
TEST_F(KeyStepTest, AStoppedSweepEndsAfterItsStepAndTheKeysGoOnFromThere) {
    atStep(40, [] { stopRunningSweep(); });
    runSweep();
    EXPECT_FALSE(sweepRunning());
    EXPECT_EQ(view.circles.size(), 40u);
    EXPECT_EQ(device.words.size(), 40u);
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_EQ(view.plotStep, 39);

    const KeyStep next = stepSweep(StepMove::next);
    EXPECT_EQ(next.index, 40);
    EXPECT_EQ(view.circles.back().box.topLeft(),
              QPoint(sweepStepAt(40, whole).x1, sweepStepAt(40, whole).y1));
    EXPECT_EQ(device.words.size(), 41u);

    // Within one step, a stop then a Run start the sweep again, to its end; a Run then a stop
    // end it.
    const struct {
        const char* order;
        void (*handle)();
        size_t circles;
    } orders[] = {{"stop, Run",
                   [] {
                       stopRunningSweep();
                       runSweep();
                   },
                   10u + 126u},
                  {"Run, stop",
                   [] {
                       runSweep();
                       stopRunningSweep();
                   },
                   10u}};
    for (const auto& order : orders) {
        SCOPED_TRACE(order.order);
        view.circles.clear();
        steps = 0;
        actions.clear();
        atStep(10, order.handle);
        runSweep();
        EXPECT_EQ(view.circles.size(), order.circles);
    }
}

TEST_F(KeyStepTest, AStopWithNoSweepRunningChangesNothing) {
    stopRunningSweep();
    runSweep();
    EXPECT_EQ(view.circles.size(), size_t{kSweepSteps});
}

// A pass stepped through from the first step to the last is kept as the sweep it drew and
// struck, its notes at the sweep's pace; one left with a step out of order is not, and the
// sweep before it stays the last.
TEST_F(KeyStepTest, APassSteppedThroughIsKeptAsTheSweepItDrewAndStruck) {
    whole = 7;
    runSweep();
    whole = 250;
    press(StepMove::first);
    press(StepMove::next, 60);
    press(StepMove::previous);
    press(StepMove::next, 80);
    ASSERT_TRUE(lastSweep());
    EXPECT_EQ(lastSweep()->steps, plannedSweep(7).steps) << "a pass out of order";

    press(StepMove::first);
    press(StepMove::next, kSweepSteps - 1);
    ASSERT_TRUE(lastSweep());
    const SweepRecord planned = plannedSweep(250);
    EXPECT_EQ(lastSweep()->steps, planned.steps);
    ASSERT_EQ(lastSweep()->noteTimes.size(), planned.noteTimes.size());
    for (size_t i = 0; i < planned.noteTimes.size(); ++i)
        EXPECT_NEAR(lastSweep()->noteTimes[i], planned.noteTimes[i], 1e-9) << i;
}

// A sweep stopped part of the way is no sweep, but stepped on to its end it is one.
TEST_F(KeyStepTest, ASweepStoppedAndSteppedOnToItsEndIsKept) {
    whole = 7;
    runSweep();
    whole = 500;
    steps = 0;
    atStep(50, [] { stopRunningSweep(); });
    runSweep();
    ASSERT_TRUE(lastSweep());
    EXPECT_EQ(lastSweep()->steps, plannedSweep(7).steps) << "a stopped sweep is not kept";
    press(StepMove::next, kSweepSteps - 51);
    EXPECT_EQ(lastSweep()->steps, plannedSweep(7).steps) << "short of the last step";
    press(StepMove::next);
    EXPECT_EQ(lastSweep()->steps, plannedSweep(500).steps);
    const auto& times = lastSweep()->noteTimes;
    ASSERT_EQ(times.size(), size_t{kSweepSteps});
    for (size_t i = 50; i < times.size(); ++i)
        EXPECT_NEAR(times[i] - times[i - 1], 0.060, 1e-9) << i;
}
