#pragma once

#include <memory>

// What an audio output plays. It is called on the output's own thread.
class AudioSource {
public:
    virtual ~AudioSource() = default;

    // Fills the next `frames` frames of both channels, each sample `stride` floats after the
    // one before. Returns false when nothing is left sounding: the output then goes to sleep
    // until it is woken.
    virtual bool render(float* left, float* right, int stride, int frames) = 0;
};

// A stream to the desktop's sound that runs only while there is something to play: asleep,
// it neither renders nor wakes, and the sound server sees it paused or not at all.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Starts the stream again after it went to sleep; harmless while it runs. Any thread.
    virtual void wake() = 0;

    // How far ahead of the output's first frame of a run its first message is played: enough
    // that no later message of the run falls due before the frame being rendered.
    virtual int latencyFrames() const = 0;
};

// The first output that opens: a stream on the sound server (PulseAudio, or PipeWire through
// its PulseAudio service), then ALSA's default device. Empty when neither opens. Both start
// asleep.
std::unique_ptr<AudioOutput> openAudioOutput(AudioSource& source, int sampleRate);
