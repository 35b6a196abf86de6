// Times keeping a sweep in files: rendering its sound offline, against the time the sweep
// takes to play (its 126 steps and the ring-out after them, the rendered sound's length); and
// writing it in every format at once, as `--export` does, into the folder given (the working
// folder if none). Prints the medians of several runs.
#include "sweep/sweep_export.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The wall time the work takes, and the processor time it uses (on every thread).
template <typename Work> std::pair<double, double> secondsOf(Work work) {
    const auto start = Clock::now();
    const double processor = processSeconds();
    work();
    return {std::chrono::duration<double>(Clock::now() - start).count(),
            processSeconds() - processor};
}

// The frames of a 16-bit stereo WAV file: its data chunk's size, by the chunk's header.
std::size_t wavFrames(const std::string& wav) {
    const std::size_t data = wav.find("data");
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = size << 8 | static_cast<unsigned char>(wav[data + 4 + i]);
    return size / 4;
}

} // namespace

int main(int argc, char* argv[]) {
    constexpr int kRuns = 5;
    const std::filesystem::path folder = argc > 1 ? argv[1] : ".";
    std::vector<double> renders, renderProcessor, exports;
    double played = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto [wall, processor] = secondsOf([&] {
            const std::string wav = SweepExport(plannedSweep(500)).fileBytes(ExportFormat::wav);
            played = static_cast<double>(wavFrames(wav)) / 44100;
        });
        renders.push_back(wall);
        renderProcessor.push_back(processor);
        exports.push_back(secondsOf([&] {
                              SweepExport sweep(plannedSweep(500));
                              std::vector<std::string> paths;
                              for (const ExportFormatName& name : exportFormats())
                                  paths.push_back(
                                      (folder / (std::string("sweep.") + name.suffix)).string());
                              sweep.saveAll(paths);
                          }).first);
    }
    std::printf("sweep played, s\t%.3f\n", played);
    std::printf("sweep rendered to WAV, s\t%.4f\n", median(renders));
    std::printf("played / rendered\t%.1f\n", played / median(renders));
    std::printf("played / processor time of the render\t%.1f\n", played / median(renderProcessor));
    std::printf("all formats exported, s\t%.3f\n", median(exports));
    return 0;
}
