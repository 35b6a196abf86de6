#pragma once

#include "platform/midi_out.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_sequencer_t;
struct _fluid_event_t;

// Where the General MIDI soundfont is: FluidR3_GM, whose Music Box dies away as a real one
// does, by its own name first, then the system's default-GM choice; searched for under
// sounds/sf2 in each of the XDG data folders.
std::optional<std::string> findGeneralMidiSoundfont();

// The General MIDI synthesizer that sounds device 0, without an audio output of its own: it
// renders on request, and its sequencer starts each timed message on the 64-frame block of
// the synthesizer's own sample clock that the message was given.
class GeneralMidiSynth final : public MidiOutput {
public:
    static constexpr int kBlock = 64; // frames the synthesizer renders at a time

    // Empty when there is no soundfont or it cannot be read.
    static std::unique_ptr<GeneralMidiSynth> open();
    ~GeneralMidiSynth() override;

    // Plays a channel message now; system messages are ignored.
    void shortMessage(std::uint32_t word) override;

    // Plays a channel message at the start of the block holding `frame` of the sample clock,
    // or, when that block is too near to be reached (the one after the next to render is
    // the earliest), at the earliest block, and then returns false: the message is late.
    bool shortMessageAt(std::uint32_t word, std::int64_t frame);

    // Renders the next `frames` frames of both channels, each sample `stride` floats after
    // the one before (1 for separate channels, 2 for interleaved ones).
    void render(float* left, float* right, int stride, int frames);

    // The sample clock: frames rendered so far.
    std::int64_t frame() const { return rendered_; }

    // Whether anything is sounding or still to be played.
    bool sounding() const;

    int sampleRate() const;

private:
    GeneralMidiSynth();
    bool loadSoundfont();
    bool toEvent(std::uint32_t word);

    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_sequencer_t* sequencer_ = nullptr;
    _fluid_event_t* event_ = nullptr;
    short synthId_ = -1;
    std::int64_t rendered_ = 0;
    std::int64_t lastTimed_ = -1; // the block of the latest timed message
};
