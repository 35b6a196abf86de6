#pragma once

#include "platform/midi_out.h"
#include "platform/sound/audio_output.h"
#include "platform/sound/general_midi_synth.h"
#include "platform/sound/note_clock.h"
#include "platform/sound/priority_inheriting_mutex.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// MIDI output device 0: the built-in synthesizer on the desktop's sound. It opens in the
// background, so that the window need not wait for the soundfont and the sound server;
// messages sent meanwhile wait and are played in order once it stands. Each message is
// stamped when sent and played one fixed latency later on the synthesizer's sample clock.
class SynthDevice final : public MidiOutput, private AudioSource {
public:
    // How the output is opened once the synthesizer stands (tests put a fake in).
    using OutputOpener = std::function<std::unique_ptr<AudioOutput>(AudioSource&, int rate)>;

    // Starts opening; messages may be sent at once.
    static std::unique_ptr<SynthDevice> open(OutputOpener openOutput = openAudioOutput);
    ~SynthDevice() override;

    void shortMessage(std::uint32_t word) override;

    // What stands, once opening has ended.
    struct Health {
        bool soundfontLoaded = false;
        bool outputOpen = false;
        std::int64_t lateMessages = 0; // played later than their stamp allowed
    };
    Health waitUntilOpened();

private:
    struct Pending {
        NoteClock::Clock::time_point sent;
        std::uint32_t word;
    };

    SynthDevice();
    void openInBackground(const OutputOpener& openOutput);
    void applyProgramChanges(GeneralMidiSynth& synth);
    bool render(float* left, float* right, int stride, int frames) override;
    void wakeOutput();

    std::thread opener_;
    std::mutex openMutex_;
    std::condition_variable opened_;
    std::unique_ptr<GeneralMidiSynth> synth_;
    std::unique_ptr<AudioOutput> output_;

    PriorityInheritingMutex pendingMutex_; // shared with the render thread
    std::vector<Pending> pending_;
    std::vector<Pending> taken_; // the render thread's, swapped with pending_
    // Ready once synth_ and output_ stand; set under openMutex_, read without it.
    enum class State { Opening, Ready, Failed };
    std::atomic<State> state_{State::Opening};
    std::atomic<bool> asleep_{true};

    // The render thread's own.
    bool running_ = false;
    NoteClock clock_{};
    std::atomic<std::int64_t> late_{0};
};
