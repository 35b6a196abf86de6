#include "platform/sound/general_midi_synth.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Rendered {
    std::vector<float> samples; // the left channel
    int rate;

    // Root mean square of the stretch from `from` to `to` seconds.
    double rms(double from, double to) const {
        const auto first = samples.begin() + static_cast<long>(from * rate);
        const auto last = samples.begin() + static_cast<long>(to * rate);
        double sum = 0;
        for (auto s = first; s != last; ++s)
            sum += double(*s) * *s;
        return std::sqrt(sum / double(last - first));
    }

    // The strongest frequency of the stretch starting at `from`, searched from 40 Hz to 4 kHz
    // in steps of a quarter semitone.
    double strongestFrequency(double from, double length) const {
        const long start = static_cast<long>(from * rate);
        const long n = static_cast<long>(length * rate);
        double bestMagnitude = 0, best = 0;
        for (double f = 40; f < 4000; f *= std::pow(2.0, 1.0 / 48)) {
            const double w = 2 * M_PI * f / rate;
            double re = 0, im = 0;
            for (long i = 0; i < n; ++i) {
                re += samples[start + i] * std::cos(w * i);
                im += samples[start + i] * std::sin(w * i);
            }
            if (std::hypot(re, im) > bestMagnitude) {
                bestMagnitude = std::hypot(re, im);
                best = f;
            }
        }
        return best;
    }
};

Rendered renderMusicBoxNote(int noteNumber, double seconds) {
    auto synth = GeneralMidiSynth::open();
    if (!synth) {
        ADD_FAILURE() << "no General MIDI soundfont: install fluid-soundfont-gm";
        return {{}, 0};
    }
    synth->shortMessage(0x00640AC0);                                  // Music Box on channel 1
    synth->shortMessage(0x00640090 | std::uint32_t(noteNumber) << 8); // struck, never released
    Rendered out{std::vector<float>(static_cast<size_t>(seconds * synth->sampleRate())),
                 synth->sampleRate()};
    std::vector<float> right(out.samples.size());
    synth->render(out.samples.data(), right.data(), 1, static_cast<int>(right.size()));
    return out;
}

} // namespace

// The program never releases a note, so the instrument itself must die away, as a music
// box does; one that sustains for ever leaves a sweep's forty notes sounding.
TEST(GeneralMidiSynth, MusicBoxNoteSoundsAtItsPitchAndDiesAway) {
    for (int noteNumber : {48, 60, 72}) {
        SCOPED_TRACE(noteNumber);
        const Rendered note = renderMusicBoxNote(noteNumber, 6.0);
        ASSERT_FALSE(note.samples.empty());
        const double attack = note.rms(0.0, 0.3);
        EXPECT_GT(attack, 0.01) << "the note is silent";
        const double expected = 440.0 * std::pow(2.0, (noteNumber - 69) / 12.0);
        // Within a quarter semitone.
        EXPECT_NEAR(std::log2(note.strongestFrequency(0.1, 0.1) / expected) * 12, 0.0, 0.25);
        EXPECT_LT(note.rms(5.8, 6.0), attack * 1e-3) << "still sounding after 6 s";
    }
}

// Points an environment variable elsewhere for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QString& value)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), saved_(qgetenv(name)) {
        qputenv(name, value.toUtf8());
    }
    ~ScopedEnvironment() {
        if (wasSet_)
            qputenv(name_, saved_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool wasSet_;
    QByteArray saved_;
};

TEST(GeneralMidiSynth, FindsFluidR3BeforeTheDefaultChoice) {
    QTemporaryDir home, data;
    const ScopedEnvironment dataHome("XDG_DATA_HOME", home.path());
    const ScopedEnvironment dataDirs("XDG_DATA_DIRS", data.path());
    const QString folder = data.path() + "/sounds/sf2";
    QDir().mkpath(folder);

    EXPECT_EQ(findGeneralMidiSoundfont(), std::nullopt);
    EXPECT_EQ(GeneralMidiSynth::open(), nullptr);
    QFile(folder + "/default-GM.sf2").open(QIODevice::WriteOnly);
    EXPECT_EQ(findGeneralMidiSoundfont(), (folder + "/default-GM.sf2").toStdString());
    QFile(folder + "/FluidR3_GM.sf2").open(QIODevice::WriteOnly);
    EXPECT_EQ(findGeneralMidiSoundfont(), (folder + "/FluidR3_GM.sf2").toStdString());
    EXPECT_EQ(GeneralMidiSynth::open(), nullptr) << "an unreadable soundfont opens no device";
}

namespace {

constexpr std::uint32_t kMusicBox = 0x00640AC0;

std::uint32_t noteOn(int note) {
    return 0x00640090 | std::uint32_t(note) << 8;
}

// The left channel of `frames` frames, rendered `chunk` frames at a time.
std::vector<float> renderInChunks(GeneralMidiSynth& synth, int frames, int chunk) {
    std::vector<float> left(frames), right(frames);
    for (int done = 0; done < frames; done += chunk) {
        const int count = std::min(chunk, frames - done);
        synth.render(left.data() + done, right.data() + done, 1, count);
    }
    return left;
}

} // namespace

// Timed notes start on the block that holds their frame, exactly as notes struck by hand at
// that block's start, however the rendering is cut up: the sound keeps the notes' times
// whatever the output's buffer.
TEST(GeneralMidiSynth, TimedNotesStartOnTheirBlockWhateverTheBufferSize) {
    const std::vector<std::pair<int, int>> strikes = {{100, 60},  {2746, 64}, {5390, 67},
                                                      {8037, 72}, {8100, 48}, {10690, 35}};
    constexpr int kFrames = 16384;

    auto byHand = GeneralMidiSynth::open();
    ASSERT_TRUE(byHand) << "no General MIDI soundfont: install fluid-soundfont-gm";
    byHand->shortMessage(kMusicBox);
    std::vector<float> expected(kFrames), right(kFrames);
    int rendered = 0;
    for (const auto& [frame, note] : strikes) {
        const int block = frame / GeneralMidiSynth::kBlock * GeneralMidiSynth::kBlock;
        byHand->render(expected.data() + rendered, right.data() + rendered, 1, block - rendered);
        rendered = block;
        byHand->shortMessage(noteOn(note));
    }
    byHand->render(expected.data() + rendered, right.data() + rendered, 1, kFrames - rendered);

    for (int chunk : {64, 256, 1000, 1024, 4096}) {
        SCOPED_TRACE(chunk);
        auto timed = GeneralMidiSynth::open();
        timed->shortMessage(kMusicBox);
        for (const auto& [frame, note] : strikes)
            EXPECT_TRUE(timed->shortMessageAt(noteOn(note), frame));
        EXPECT_TRUE(timed->sounding()) << "notes still to come are something to play";
        EXPECT_EQ(renderInChunks(*timed, kFrames, chunk), expected);
    }
}

// A note given a frame too near to reach plays at the earliest block it can, and says it
// is late: the block after the next one to render.
TEST(GeneralMidiSynth, LateNoteStartsOnTheEarliestBlock) {
    auto late = GeneralMidiSynth::open();
    ASSERT_TRUE(late);
    late->shortMessage(kMusicBox);
    renderInChunks(*late, 1000, 1000);
    EXPECT_FALSE(late->shortMessageAt(noteOn(60), 10));
    EXPECT_FALSE(late->shortMessageAt(noteOn(64), 1050));
    EXPECT_TRUE(late->shortMessageAt(noteOn(67), 1088));
    const std::vector<float> heard = renderInChunks(*late, 1000, 1000);

    auto byHand = GeneralMidiSynth::open();
    byHand->shortMessage(kMusicBox);
    std::vector<float> expected = renderInChunks(*byHand, 1088, 1088);
    for (int note : {60, 64, 67})
        byHand->shortMessage(noteOn(note));
    const std::vector<float> rest = renderInChunks(*byHand, 912, 912);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(heard, std::vector<float>(expected.begin() + 1000, expected.end()));
}
