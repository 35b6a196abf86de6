#pragma once

#include "platform/sound/audio_output.h"

#include <memory>

// ALSA's default device, for machines with no sound server: played through FluidSynth's own
// ALSA driver, which is closed while asleep and opened again on waking. Empty when the
// device does not open.
std::unique_ptr<AudioOutput> openAlsaOutput(AudioSource& source, int sampleRate);
