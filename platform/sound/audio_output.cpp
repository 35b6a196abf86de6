#include "platform/sound/audio_output.h"

#include "platform/sound/alsa_output.h"
#include "platform/sound/pulse_output.h"

std::unique_ptr<AudioOutput> openAudioOutput(AudioSource& source, int sampleRate) {
    if (auto output = openPulseOutput(source, sampleRate))
        return output;
    return openAlsaOutput(source, sampleRate);
}
