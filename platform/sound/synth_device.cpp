#include "platform/sound/synth_device.h"

#include <cstdio>
#include <utility>

namespace {
constexpr std::uint32_t kProgramChange = 0xC0; // the status byte's kind of message
// Far more than arrive between two renders (a render every few milliseconds), and than
// wait while the device opens.
constexpr std::size_t kMostPending = 4096;
} // namespace

std::unique_ptr<SynthDevice> SynthDevice::open(OutputOpener openOutput) {
    std::unique_ptr<SynthDevice> device(new SynthDevice);
    device->opener_ = std::thread([raw = device.get(), openOutput = std::move(openOutput)] {
        raw->openInBackground(openOutput);
    });
    return device;
}

SynthDevice::SynthDevice() = default;

SynthDevice::~SynthDevice() {
    if (opener_.joinable())
        opener_.join();
    // The output goes first: its thread renders from the synthesizer.
    output_.reset();
}

void SynthDevice::openInBackground(const OutputOpener& openOutput) {
    auto synth = GeneralMidiSynth::open();
    if (synth)
        applyProgramChanges(*synth);
    std::unique_ptr<AudioOutput> output;
    if (!synth)
        std::fputs("ramp-sonifier: no sound: no General MIDI soundfont found "
                   "(install fluid-soundfont-gm)\n",
                   stderr);
    else if (!(output = openOutput(*this, synth->sampleRate())))
        std::fputs("ramp-sonifier: no sound: no audio output could be opened\n", stderr);

    std::lock_guard lock(openMutex_);
    synth_ = std::move(synth);
    output_ = std::move(output);
    state_ = output_ ? State::Ready : State::Failed;
    if (state_ == State::Failed) {
        std::lock_guard pendingLock(pendingMutex_);
        pending_.clear();
    } else if (!asleep_) {
        output_->wake(); // messages came while it opened
    }
    opened_.notify_all();
}

// Selecting an instrument loads its samples from the soundfont, which takes longer than
// the sound can wait: the selections made before the sound starts (the program's one, at
// start-up) are applied here, first and in order, rather than in the rendering thread.
void SynthDevice::applyProgramChanges(GeneralMidiSynth& synth) {
    std::lock_guard lock(pendingMutex_);
    auto selection = pending_.begin();
    for (; selection != pending_.end() && (selection->word & 0xF0) == kProgramChange; ++selection)
        synth.shortMessage(selection->word);
    pending_.erase(pending_.begin(), selection);
}

SynthDevice::Health SynthDevice::waitUntilOpened() {
    std::unique_lock lock(openMutex_);
    opened_.wait(lock, [this] { return state_ != State::Opening; });
    return {synth_ != nullptr, output_ != nullptr, late_.load()};
}

void SynthDevice::shortMessage(std::uint32_t word) {
    if (state_ == State::Failed)
        return;
    {
        std::lock_guard lock(pendingMutex_);
        // Nothing takes messages from an output whose server went away: they are dropped
        // rather than kept for ever.
        if (pending_.size() == kMostPending)
            pending_.clear();
        pending_.push_back({NoteClock::Clock::now(), word});
    }
    // Only the message that finds the output asleep wakes it.
    if (asleep_.exchange(false))
        wakeOutput();
}

void SynthDevice::wakeOutput() {
    std::lock_guard lock(openMutex_);
    if (output_) // else the opener wakes it once it stands
        output_->wake();
}

bool SynthDevice::render(float* left, float* right, int stride, int frames) {
    if (state_ != State::Ready) { // an output may start playing while it opens
        for (int i = 0; i < frames; ++i)
            left[i * stride] = right[i * stride] = 0.0f;
        return false;
    }
    {
        std::lock_guard lock(pendingMutex_);
        std::swap(pending_, taken_);
    }
    if (!running_ && !taken_.empty()) {
        // A run begins: its first message plays one latency after the output's next frame.
        running_ = true;
        clock_ = {taken_.front().sent, synth_->frame(), output_->latencyFrames(),
                  synth_->sampleRate()};
    }
    for (const Pending& message : taken_) {
        if (!synth_->shortMessageAt(message.word, clock_.frameFor(message.sent)))
            ++late_;
    }
    taken_.clear();
    synth_->render(left, right, stride, frames);
    if (synth_->sounding())
        return true;
    // Going to sleep; a message that came in the meantime keeps the output awake (the
    // sender either sees asleep_ set and wakes it, or its message is seen here).
    asleep_ = true;
    std::lock_guard lock(pendingMutex_);
    if (!pending_.empty()) {
        asleep_ = false;
        return true;
    }
    running_ = false;
    return false;
}
