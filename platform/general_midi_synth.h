#pragma once

#include "platform/midi_out.h"

#include <memory>
#include <optional>
#include <span>
#include <string>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;

// Where the General MIDI soundfont is: FluidR3_GM, whose Music Box dies away as a real one
// does, by its own name first, then the system's default-GM choice; searched for under
// sounds/sf2 in each of the XDG data folders.
std::optional<std::string> findGeneralMidiSoundfont();

// The built-in General MIDI synthesizer behind MIDI output device 0.
class GeneralMidiSynth final : public MidiOutput {
public:
    // The synthesizer playing on the desktop's audio output; empty when there is no
    // soundfont or no audio output (after one line on stderr saying which).
    static std::unique_ptr<GeneralMidiSynth> open();

    // The synthesizer with no audio output, played by render(); empty without a soundfont.
    static std::unique_ptr<GeneralMidiSynth> openOffline();

    ~GeneralMidiSynth() override;

    // Plays a channel message; system messages are ignored.
    void shortMessage(std::uint32_t word) override;

    // Renders the next stretch of audio into two channels of equal length (offline only).
    void render(std::span<float> left, std::span<float> right);

    int sampleRate() const;

    // How much audio the output holds back: period size × periods ÷ sample rate.
    double outputBufferMilliseconds() const;

private:
    GeneralMidiSynth();
    bool loadSoundfont();
    bool startAudio();

    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_audio_driver_t* driver_ = nullptr;
};
