#pragma once

#include "platform/sound/audio_output.h"

#include <memory>

// A stream on the desktop's sound server, PulseAudio or PipeWire (through its PulseAudio
// service), corked while asleep. Empty when no server answers.
std::unique_ptr<AudioOutput> openPulseOutput(AudioSource& source, int sampleRate);
