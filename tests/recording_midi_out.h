#pragma once

#include "platform/midi_out.h"

#include <cstdint>
#include <memory>
#include <vector>

// Stands in for MIDI output device 0 and keeps every word sent to it.
class RecordingDevice {
public:
    RecordingDevice() {
        previous_ = setMidiOutputFactory([this](std::int32_t device) -> MidiOutHandle {
            if (device != 0)
                return nullptr;
            return std::make_unique<Output>(words);
        });
    }
    ~RecordingDevice() { setMidiOutputFactory(previous_); }
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;

    std::vector<std::uint32_t> words;

private:
    class Output : public MidiOutput {
    public:
        explicit Output(std::vector<std::uint32_t>& words) : words_(words) {}
        void shortMessage(std::uint32_t word) override { words_.push_back(word); }

    private:
        std::vector<std::uint32_t>& words_;
    };

    MidiOutputFactory previous_;
};
