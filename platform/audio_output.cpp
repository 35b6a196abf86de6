#include "platform/audio_output.h"

#include "platform/alsa_output.h"
#include "platform/pulse_output.h"

std::unique_ptr<AudioOutput> openAudioOutput(AudioSource& source, int sampleRate) {
    if (auto output = openPulseOutput(source, sampleRate))
        return output;
    return openAlsaOutput(source, sampleRate);
}
