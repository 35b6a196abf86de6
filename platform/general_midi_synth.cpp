#include "platform/general_midi_synth.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

// 64 frames × 16 periods at 44.1 kHz hold back 23.2 ms of sound. Through a desktop sound
// server's ALSA plugin, half of that (8 periods) ran dry now and then even on a quiet
// machine; this did not. A note starts at the next period, 1.45 ms at most, so notes keep
// the sweep's rhythm exactly. (128-frame periods would halve the idle CPU, but the sound
// server then resamples the stream to keep its latency.)
constexpr int kPeriodSize = 64;
constexpr int kPeriods = 16;

// ALSA's default device also reaches PulseAudio and PipeWire desktops through their ALSA
// plugins; FluidSynth's own PulseAudio driver is the fallback where those are missing.
constexpr const char* kAudioDrivers[] = {"alsa", "pulseaudio"};

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// FluidSynth and ALSA report through their logs; the program runs on silently instead,
// after at most the one line open() writes.
void silenceSoundLogs() {
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);
    snd_lib_error_set_handler(ignoreAlsaError);
}

} // namespace

std::optional<std::string> findGeneralMidiSoundfont() {
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const char* name : {"FluidR3_GM.sf2", "default-GM.sf2"}) {
        for (const QString& folder : folders) {
            const auto path = std::filesystem::path(folder.toStdString()) / "sounds/sf2" / name;
            std::error_code error;
            if (std::filesystem::is_regular_file(path, error))
                return path.string();
        }
    }
    return std::nullopt;
}

GeneralMidiSynth::GeneralMidiSynth() {
    silenceSoundLogs();
    settings_ = new_fluid_settings();
    // Only the samples of the instruments in use are loaded: about 30 MB instead of 160 MB.
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings_, "audio.period-size", kPeriodSize);
    fluid_settings_setint(settings_, "audio.periods", kPeriods);
    synth_ = new_fluid_synth(settings_);
}

GeneralMidiSynth::~GeneralMidiSynth() {
    if (driver_)
        delete_fluid_audio_driver(driver_);
    if (synth_)
        delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

std::unique_ptr<GeneralMidiSynth> GeneralMidiSynth::open() {
    std::unique_ptr<GeneralMidiSynth> synth(new GeneralMidiSynth);
    if (!synth->loadSoundfont()) {
        std::fputs("ramp-sonifier: no sound: no General MIDI soundfont found "
                   "(install fluid-soundfont-gm)\n",
                   stderr);
        return nullptr;
    }
    if (!synth->startAudio()) {
        std::fputs("ramp-sonifier: no sound: no audio output could be opened\n", stderr);
        return nullptr;
    }
    return synth;
}

std::unique_ptr<GeneralMidiSynth> GeneralMidiSynth::openOffline() {
    std::unique_ptr<GeneralMidiSynth> synth(new GeneralMidiSynth);
    if (!synth->loadSoundfont())
        return nullptr;
    return synth;
}

bool GeneralMidiSynth::loadSoundfont() {
    const auto path = findGeneralMidiSoundfont();
    return synth_ && path && fluid_synth_sfload(synth_, path->c_str(), 1) != FLUID_FAILED;
}

bool GeneralMidiSynth::startAudio() {
    for (const char* name : kAudioDrivers) {
        fluid_settings_setstr(settings_, "audio.driver", name);
        driver_ = new_fluid_audio_driver(settings_, synth_);
        if (driver_)
            return true;
    }
    return false;
}

void GeneralMidiSynth::shortMessage(std::uint32_t word) {
    const int status = word & 0xFF;
    const int channel = status & 0x0F;
    const int data1 = (word >> 8) & 0xFF;
    const int data2 = (word >> 16) & 0xFF;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth_, channel, data1);
        break;
    case 0x90:
        fluid_synth_noteon(synth_, channel, data1, data2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth_, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth_, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth_, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth_, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth_, channel, data1 | (data2 & 0x7F) << 7);
        break;
    default:
        break;
    }
}

void GeneralMidiSynth::render(std::span<float> left, std::span<float> right) {
    fluid_synth_write_float(synth_, static_cast<int>(std::min(left.size(), right.size())),
                            left.data(), 0, 1, right.data(), 0, 1);
}

int GeneralMidiSynth::sampleRate() const {
    double rate = 0;
    fluid_settings_getnum(settings_, "synth.sample-rate", &rate);
    return static_cast<int>(rate);
}

double GeneralMidiSynth::outputBufferMilliseconds() const {
    return 1000.0 * kPeriodSize * kPeriods / sampleRate();
}
