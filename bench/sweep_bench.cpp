// Times the Run sweep in the real main window: with its 60 ms pauses, against the floor those
// pauses set, and with the pauses removed, for the work of a step itself. With
// `--sound FILE` it instead plays one sweep on the real device 0, once it has opened, and
// writes when each note-on left the program, in seconds of the monotonic clock, to FILE,
// for comparing with the recorded sound; it prints how many messages the device played late.
#include "midi/midi_channel.h"
#include "platform/application.h"
#include "platform/event_loop.h"
#include "platform/sound/synth_device.h"
#include "sweep/sweep.h"
#include "ui/unit1.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Device 0 wrapped in one that notes when each message arrives.
class TimingDevice : public MidiOutput {
public:
    TimingDevice(std::vector<Clock::time_point>& arrivals, MidiOutHandle device)
        : arrivals_(arrivals), device_(std::move(device)) {}
    void shortMessage(std::uint32_t word) override {
        arrivals_.push_back(Clock::now());
        midiOutShortMsg(device_.get(), word);
    }
    SynthDevice* synth() const { return dynamic_cast<SynthDevice*>(device_.get()); }

private:
    std::vector<Clock::time_point>& arrivals_;
    MidiOutHandle device_;
};

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int playSweep(const char* path, const std::vector<Clock::time_point>& arrivals,
              SynthDevice& device) {
    runSweep();
    Sleep(1000); // the last notes sound out before the program ends
    std::FILE* out = std::fopen(path, "w");
    if (!out) {
        std::perror(path);
        return 1;
    }
    for (Clock::time_point arrival : arrivals)
        std::fprintf(out, "%.6f\n", seconds(arrival.time_since_epoch()));
    std::fclose(out);
    std::printf("late messages\t%lld\n",
                static_cast<long long>(device.waitUntilOpened().lateMessages));
    return 0;
}

int main(int argc, char* argv[]) {
    Application application(argc, argv);
    const bool sound = argc == 3 && std::string_view(argv[1]) == "--sound";
    std::vector<Clock::time_point> arrivals;
    MidiOutputFactory builtIn;
    builtIn = setMidiOutputFactory([&](std::int32_t device) {
        return std::make_unique<TimingDevice>(arrivals, sound ? builtIn(device) : nullptr);
    });
    TForm1 form;
    form.show();
    ProcessMessages();
    if (sound) {
        auto* device = static_cast<TimingDevice*>(midiOut.get())->synth();
        if (!device || !device->waitUntilOpened().outputOpen)
            return 1;
        arrivals.clear(); // not the instrument's selection at start-up
        return playSweep(argv[2], arrivals, *device);
    }

    constexpr int kPacedRuns = 3, kFastRuns = 30, kSteps = 126;
    std::vector<double> sweepRatios, noteRatios, stepMicros;
    for (int run = 0; run < kPacedRuns; ++run) {
        arrivals.clear();
        const auto start = Clock::now();
        runSweep();
        sweepRatios.push_back(seconds(Clock::now() - start) / (kSteps * 0.060));
        noteRatios.push_back(seconds(arrivals.back() - arrivals.front()) / ((kSteps - 1) * 0.060));
    }
    setSleeper([](unsigned) {});
    for (int run = 0; run < kFastRuns; ++run) {
        const auto start = Clock::now();
        runSweep();
        stepMicros.push_back(seconds(Clock::now() - start) * 1e6 / kSteps);
    }
    std::printf("sweep wall time / (126 x 60 ms)\t%.4f\n", median(sweepRatios));
    std::printf("first to last note-on / (125 x 60 ms)\t%.4f\n", median(noteRatios));
    std::printf("work per step without the pause, us\t%.1f\n", median(stepMicros));
    return 0;
}
