// Times the Run sweep in the real main window: once with its 60 ms pauses, against the floor
// those pauses set, and once with the pauses removed, for the work of a step itself.
#include "midi/midi_channel.h"
#include "platform/application.h"
#include "platform/event_loop.h"
#include "sweep/sweep.h"
#include "ui/unit1.h"

#include <QFont>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Device 0 replaced by one that notes when each note-on arrives.
class TimingDevice : public MidiOutput {
public:
    explicit TimingDevice(std::vector<Clock::time_point>& arrivals) : arrivals_(arrivals) {}
    void shortMessage(std::uint32_t) override { arrivals_.push_back(Clock::now()); }

private:
    std::vector<Clock::time_point>& arrivals_;
};

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    Application application(argc, argv);
    QFont::insertSubstitution("Courier New", "Liberation Mono");
    std::vector<Clock::time_point> arrivals;
    setMidiOutputFactory(
        [&arrivals](std::int32_t) { return std::make_unique<TimingDevice>(arrivals); });
    TForm1 form;
    form.show();
    ProcessMessages();

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

    std::printf("%-52s %10s\n", "figure (median)", "value");
    std::printf("%-52s %10.4f\n", "sweep wall time / (126 x 60 ms)", median(sweepRatios));
    std::printf("%-52s %10.4f\n", "first to last note-on / (125 x 60 ms)", median(noteRatios));
    std::printf("%-52s %10.1f\n", "work per step without the pause, microseconds",
                median(stepMicros));
    return 0;
}
