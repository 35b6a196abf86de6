// Renders Music Box notes offline through the program's synthesizer, so that tests can
// predict recorded sound sample for sample. Reads lines "FRAME NOTE" (strike NOTE at FRAME,
// in rising order) and a last line "FRAME" (render up to there), and writes 16-bit stereo
// audio at the synthesizer's rate to stdout. Frames that are multiples of 64 are exact: the
// synthesizer starts a note at the next 64-frame block.
#include "platform/general_midi_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::int16_t toSample(float value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.f, 1.f) * 32767));
}

} // namespace

int main() {
    auto synth = GeneralMidiSynth::open();
    if (!synth) {
        std::fputs("render_notes: no General MIDI soundfont\n", stderr);
        return 1;
    }
    synth->shortMessage(0x00640AC0); // the Music Box, as the program selects it
    long rendered = 0;
    std::vector<float> left, right;
    std::vector<std::int16_t> out;
    const auto renderUntil = [&](long frame) {
        const long count = frame - rendered;
        if (count <= 0)
            return;
        left.assign(count, 0);
        right.assign(count, 0);
        synth->render(left.data(), right.data(), 1, static_cast<int>(count));
        out.resize(2 * count);
        for (long i = 0; i < count; ++i) {
            out[2 * i] = toSample(left[i]);
            out[2 * i + 1] = toSample(right[i]);
        }
        std::fwrite(out.data(), sizeof out[0], out.size(), stdout);
        rendered = frame;
    };
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream fields(line);
        long frame = 0;
        int note = 0;
        if (!(fields >> frame))
            continue;
        renderUntil(frame);
        if (fields >> note)
            synth->shortMessage(0x00640090u | std::uint32_t(note & 0x7F) << 8);
    }
    return 0;
}
