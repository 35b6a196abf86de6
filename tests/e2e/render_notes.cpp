// Renders Music Box notes offline through the program's synthesizer, so that tests can
// predict recorded sound sample for sample. Reads lines "FRAME NOTE" (strike NOTE at FRAME,
// in rising order) and a line "FRAME" (render up to there), and writes 16-bit stereo audio
// at the synthesizer's rate to stdout. Frames that are multiples of 64 are exact: the
// synthesizer starts a note at the next 64-frame block.
//
// An empty line ends a render and the next starts afresh, from frame 0 on a new synthesizer,
// so that one process serves a test's many renders without loading the soundfont anew for
// each; the end of input ends the last.
#include "platform/sound/general_midi_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::int16_t toSample(float value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.f, 1.f) * 32767));
}

std::unique_ptr<GeneralMidiSynth> musicBox() {
    auto synth = GeneralMidiSynth::open();
    if (synth)
        synth->shortMessage(0x00640AC0); // the Music Box, as the program selects it
    return synth;
}

// Renders from the synthesizer's clock up to `frame`, to stdout.
void renderUntil(GeneralMidiSynth& synth, std::int64_t frame) {
    const auto count = static_cast<int>(std::max<std::int64_t>(frame - synth.frame(), 0));
    std::vector<float> left(count), right(count);
    synth.render(left.data(), right.data(), 1, count);
    std::vector<std::int16_t> out(2 * count);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = toSample(left[i]);
        out[2 * i + 1] = toSample(right[i]);
    }
    std::fwrite(out.data(), sizeof out[0], out.size(), stdout);
}

} // namespace

int main() {
    // One synthesizer is kept while the process runs, so that the soundfont's samples stay
    // loaded for each render's own.
    const auto keeper = musicBox();
    auto synth = musicBox();
    if (!keeper || !synth) {
        std::fputs("render_notes: no General MIDI soundfont\n", stderr);
        return 1;
    }
    for (std::string line; std::getline(std::cin, line);) {
        if (line.empty()) {
            std::fflush(stdout);
            if (!(synth = musicBox()))
                return 1;
            continue;
        }
        std::istringstream fields(line);
        std::int64_t frame = 0;
        int note = 0;
        if (!(fields >> frame))
            continue;
        renderUntil(*synth, frame);
        if (fields >> note)
            synth->shortMessage(0x00640090u | std::uint32_t(note & 0x7F) << 8);
    }
    return 0;
}
