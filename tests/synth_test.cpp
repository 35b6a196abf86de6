#include "platform/general_midi_synth.h"

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
    auto synth = GeneralMidiSynth::openOffline();
    if (!synth) {
        ADD_FAILURE() << "no General MIDI soundfont: install fluid-soundfont-gm";
        return {{}, 0};
    }
    synth->shortMessage(0x00640AC0);                                  // Music Box on channel 1
    synth->shortMessage(0x00640090 | std::uint32_t(noteNumber) << 8); // struck, never released
    Rendered out{std::vector<float>(static_cast<size_t>(seconds * synth->sampleRate())),
                 synth->sampleRate()};
    std::vector<float> right(out.samples.size());
    synth->render(out.samples, right);
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
    EXPECT_EQ(GeneralMidiSynth::openOffline(), nullptr);
    QFile(folder + "/default-GM.sf2").open(QIODevice::WriteOnly);
    EXPECT_EQ(findGeneralMidiSoundfont(), (folder + "/default-GM.sf2").toStdString());
    QFile(folder + "/FluidR3_GM.sf2").open(QIODevice::WriteOnly);
    EXPECT_EQ(findGeneralMidiSoundfont(), (folder + "/FluidR3_GM.sf2").toStdString());
    EXPECT_EQ(GeneralMidiSynth::open(), nullptr) << "an unreadable soundfont opens no device";
}
