#pragma once

#include "platform/sound/offline_render.h"

#include <string>

enum class SoundFileFormat { wav, flac, oggVorbis, mp3 };

// Whether this system's libsndfile writes the format (MP3 needs a libsndfile built with LAME).
bool canWriteSoundFile(SoundFileFormat format);

// The sound as the bytes of a file in `format`, 16 bits where the format counts samples in
// bits, with `title` among its tags. Throws std::runtime_error with libsndfile's reason.
std::string soundFileBytes(const RenderedSound& sound, SoundFileFormat format,
                           const std::string& title);
