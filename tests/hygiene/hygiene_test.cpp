// A thousand sweeps' worth of notes and redraws, with the pauses removed, must leave the
// process's memory flat and its open files and threads as they were.
#include "platform/event_loop.h"
#include "platform/midi_out.h"
#include "platform/sound/general_midi_synth.h"
#include "sweep/sweep.h"
#include "ui/unit1.h"

#include <gtest/gtest.h>

#include <QThreadPool>

#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr int kWarmUpSweeps = 5;
constexpr int kSweeps = 1000;
constexpr int kStepsPerSweep = 126;

// Device 0, the real synthesizer without an audio output (the test needs no audio server),
// counting what it is sent; a device that kept the messages would itself grow. Unrendered,
// the notes hold their voices until the synthesizer's polyphony is reached, and from then
// on each new note takes the voice of an old one.
class CountingSynth : public MidiOutput {
public:
    CountingSynth(std::int64_t& count, std::unique_ptr<GeneralMidiSynth> synth)
        : count_(count), synth_(std::move(synth)) {}
    void shortMessage(std::uint32_t word) override {
        ++count_;
        synth_->shortMessage(word);
    }

private:
    std::int64_t& count_;
    std::unique_ptr<GeneralMidiSynth> synth_;
};

struct Usage {
    long residentKiB;
    long heapInUseKiB; // what malloc has handed out and not had back
    long openFiles;
    long threads;
};

long entries(const char* folder) {
    long count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

Usage usage() {
    // Freed memory goes back to the system first, so that RSS shows what is still held.
    malloc_trim(0);
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    // The directory listing holds one descriptor of its own while it counts.
    return {resident * (sysconf(_SC_PAGESIZE) / 1024),
            static_cast<long>(mallinfo2().uordblks / 1024), entries("/proc/self/fd") - 1,
            entries("/proc/self/task")};
}

void print(const char* when, const Usage& u) {
    std::printf("%-28s RSS %7ld KiB, heap in use %7ld KiB, %3ld open files, %2ld threads\n", when,
                u.residentKiB, u.heapInUseKiB, u.openFiles, u.threads);
}

TEST(Hygiene, AThousandSweepsLeaveMemoryFilesAndThreadsFlat) {
    std::int64_t notes = 0;
    auto synth = GeneralMidiSynth::open();
    ASSERT_TRUE(synth) << "no General MIDI soundfont (fluid-soundfont-gm)";
    const MidiOutputFactory previousFactory =
        setMidiOutputFactory([&notes, &synth](std::int32_t) -> MidiOutHandle {
            return std::make_unique<CountingSynth>(notes, std::move(synth));
        });
    int steps = 0;
    const auto previousSleeper = setSleeper([&steps](unsigned) { ++steps; });
    // Qt converts large images on the threads of its global pool, which end after 30 idle
    // seconds: on a slow machine they would end during the sweeps and read as threads (and
    // their files) given back. Kept for the test, they count the same before and after.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
    {
        TForm1 form;
        form.show();
        // Each sweep with another whole, set through the slider, which writes the edit box.
        auto sweep = [&form](int k) {
            form.ui.TrackBarWhole->setValue(1 + (k * 37) % 1000);
            runSweep();
            ProcessMessages();
        };
        for (int k = 0; k < kWarmUpSweeps; ++k)
            sweep(k);
        const Usage before = usage();
        for (int k = 0; k < kSweeps; ++k)
            sweep(kWarmUpSweeps + k);
        const Usage after = usage();
        print("after the warm-up sweeps:", before);
        print("after 1000 more sweeps:", after);

        EXPECT_EQ(steps, (kWarmUpSweeps + kSweeps) * kStepsPerSweep);
        EXPECT_EQ(notes, 1 + steps) << "the instrument's selection, then a note a step";
        // 126,000 steps and 1,000 sweeps: the smallest block leaked a step (32 bytes with
        // malloc's own) would hold 4 MiB, and a block of 256 bytes leaked a sweep 250 KiB.
        // Below that is the noise of the allocator and of Qt's caches, some 10-50 KiB.
        EXPECT_LT(after.heapInUseKiB - before.heapInUseKiB, 256);
        EXPECT_LT(after.residentKiB - before.residentKiB, 1024);
        EXPECT_EQ(after.openFiles, before.openFiles);
        EXPECT_EQ(after.threads, before.threads);
    }
    setSleeper(previousSleeper);
    setMidiOutputFactory(previousFactory);
}

} // namespace
