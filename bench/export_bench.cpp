// Times keeping a sweep in files: rendering its sound offline, against the time the sweep
// takes to play (its 126 steps and the ring-out after them, the rendered sound's length); and
// writing it in every format at once, as `--export` does. Prints the medians of several runs.
#include "export/sweep_export.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work> double secondsOf(Work work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[]) {
    constexpr int kRuns = 5;
    const std::filesystem::path folder = argc > 1 ? argv[1] : ".";
    std::vector<double> renders, exports;
    double played = 0;
    for (int run = 0; run < kRuns; ++run) {
        renders.push_back(secondsOf([&] {
            const std::string wav = SweepExport(plannedSweep(500)).fileBytes(ExportFormat::wav);
            played = static_cast<double>(wav.size() - 44) / 4 / 44100;
        }));
        exports.push_back(secondsOf([&] {
            SweepExport sweep(plannedSweep(500));
            for (const ExportFormatName& name : exportFormats())
                sweep.save((folder / (std::string("sweep.") + name.suffix)).string());
        }));
    }
    std::printf("sweep played, s\t%.3f\n", played);
    std::printf("sweep rendered to WAV, s\t%.4f\n", median(renders));
    std::printf("played / rendered\t%.1f\n", played / median(renders));
    std::printf("all formats exported, s\t%.3f\n", median(exports));
    return 0;
}
