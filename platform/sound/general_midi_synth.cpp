#include "platform/sound/general_midi_synth.h"

#include <fluidsynth.h>

#include <QStandardPaths>

#include <algorithm>
#include <filesystem>

namespace {

// The sequencer's clock counts milliseconds of the synthesizer's sample clock, read once a
// block; at this rate blocks are more than a millisecond apart, so every block has a tick
// of its own.
constexpr int kSampleRate = 44100;
static_assert(GeneralMidiSynth::kBlock * 1000 > kSampleRate);

unsigned tickOfBlock(std::int64_t frame) {
    return static_cast<unsigned>(1000.0 * static_cast<double>(frame) / kSampleRate);
}

std::int64_t blockStart(std::int64_t frame) {
    return frame / GeneralMidiSynth::kBlock * GeneralMidiSynth::kBlock;
}

// FluidSynth reports through its log; the program runs on silently instead, after at most
// the one line that says why there is no sound.
void silenceSynthLog() {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);
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
    silenceSynthLog();
    settings_ = new_fluid_settings();
    // Only the samples of the instruments in use are loaded: about 30 MB instead of 160 MB.
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
    fluid_settings_setnum(settings_, "synth.sample-rate", kSampleRate);
    synth_ = new_fluid_synth(settings_);
    // Driven by the synthesizer's sample clock rather than the system's, so that timed
    // messages land on exact frames of the sound.
    sequencer_ = new_fluid_sequencer2(0);
    if (synth_ && sequencer_)
        synthId_ = fluid_sequencer_register_fluidsynth(sequencer_, synth_);
    event_ = new_fluid_event();
    fluid_event_set_source(event_, -1);
    fluid_event_set_dest(event_, synthId_);
}

GeneralMidiSynth::~GeneralMidiSynth() {
    delete_fluid_event(event_);
    if (sequencer_)
        delete_fluid_sequencer(sequencer_);
    if (synth_)
        delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
}

std::unique_ptr<GeneralMidiSynth> GeneralMidiSynth::open() {
    std::unique_ptr<GeneralMidiSynth> synth(new GeneralMidiSynth);
    if (!synth->loadSoundfont())
        return nullptr;
    return synth;
}

bool GeneralMidiSynth::loadSoundfont() {
    const auto path = findGeneralMidiSoundfont();
    return synth_ && synthId_ >= 0 && path &&
           fluid_synth_sfload(synth_, path->c_str(), 1) != FLUID_FAILED;
}

bool GeneralMidiSynth::toEvent(std::uint32_t word) {
    const int status = word & 0xFF;
    const int channel = status & 0x0F;
    const int data1 = (word >> 8) & 0x7F;
    const int data2 = (word >> 16) & 0x7F;
    switch (status & 0xF0) {
    case 0x80:
        fluid_event_noteoff(event_, channel, static_cast<short>(data1));
        return true;
    case 0x90:
        fluid_event_noteon(event_, channel, static_cast<short>(data1), static_cast<short>(data2));
        return true;
    case 0xA0:
        fluid_event_key_pressure(event_, channel, static_cast<short>(data1), data2);
        return true;
    case 0xB0:
        fluid_event_control_change(event_, channel, static_cast<short>(data1), data2);
        return true;
    case 0xC0:
        fluid_event_program_change(event_, channel, data1);
        return true;
    case 0xD0:
        fluid_event_channel_pressure(event_, channel, data1);
        return true;
    case 0xE0:
        fluid_event_pitch_bend(event_, channel, data1 | data2 << 7);
        return true;
    default:
        return false;
    }
}

void GeneralMidiSynth::shortMessage(std::uint32_t word) {
    if (toEvent(word))
        fluid_sequencer_send_now(sequencer_, event_);
}

bool GeneralMidiSynth::shortMessageAt(std::uint32_t word, std::int64_t frame) {
    if (!toEvent(word))
        return true;
    // The sequencer acts on what falls due at a block's tick from the block after it, so a
    // message for block B is given B's predecessor's tick, and the block after the next one
    // to render is the earliest it can reach.
    const std::int64_t earliest = blockStart(rendered_ + kBlock - 1) + kBlock;
    const std::int64_t block = std::max(blockStart(frame), earliest);
    lastTimed_ = std::max(lastTimed_, block);
    fluid_sequencer_send_at(sequencer_, event_, tickOfBlock(block - kBlock), 1);
    return block == blockStart(frame);
}

void GeneralMidiSynth::render(float* left, float* right, int stride, int frames) {
    fluid_synth_write_float(synth_, frames, left, 0, stride, right, 0, stride);
    rendered_ += frames;
}

bool GeneralMidiSynth::sounding() const {
    return lastTimed_ >= rendered_ || fluid_synth_get_active_voice_count(synth_) > 0;
}

int GeneralMidiSynth::sampleRate() const {
    return kSampleRate;
}
