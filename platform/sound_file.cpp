#include "platform/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// The highest sample 16 bits hold, 32767 / 32768.
constexpr float kHighest = 1.f - 1.f / 32768;

int libsndfileFormat(SoundFileFormat format) {
    switch (format) {
    case SoundFileFormat::wav:
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SoundFileFormat::flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFileFormat::oggVorbis:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFileFormat::mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return 0;
}

SF_INFO stereoInfo(int sampleRate, SoundFileFormat format) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = libsndfileFormat(format);
    return info;
}

// A file in memory for libsndfile to write, seek in and read back its headers from.
struct MemoryFile {
    std::string bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* file) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(file)->bytes.size());
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_CUR   ? file->position
                            : whence == SEEK_END ? memoryLength(file)
                                                 : 0;
    file->position = std::max<sf_count_t>(0, base + offset);
    return file->position;
}

sf_count_t memoryRead(void* to, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t available = std::max<sf_count_t>(0, memoryLength(file) - file->position);
    const sf_count_t read = std::min(count, available);
    std::memcpy(to, file->bytes.data() + file->position, static_cast<size_t>(read));
    file->position += read;
    return read;
}

sf_count_t memoryWrite(const void* from, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const auto end = static_cast<size_t>(file->position + count);
    if (end > file->bytes.size())
        file->bytes.resize(end);
    std::memcpy(file->bytes.data() + file->position, from, static_cast<size_t>(count));
    file->position += count;
    return count;
}

sf_count_t memoryTell(void* file) {
    return static_cast<MemoryFile*>(file)->position;
}

} // namespace

bool canWriteSoundFile(SoundFileFormat format) {
    SF_INFO info = stereoInfo(44100, format);
    return sf_format_check(&info) != 0;
}

std::string soundFileBytes(const RenderedSound& sound, SoundFileFormat format,
                           const std::string& title) {
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    MemoryFile file;
    file.bytes.reserve(sound.samples.size() * sizeof(std::int16_t) + 4096);
    SF_INFO info = stereoInfo(sound.sampleRate, format);
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> out(sf_open_virtual(&io, SFM_WRITE, &info, &file),
                                                    sf_close);
    if (!out)
        throw std::runtime_error(sf_strerror(nullptr));
    sf_set_string(out.get(), SF_STR_TITLE, title.c_str());
    sf_set_string(out.get(), SF_STR_SOFTWARE, "Ramp Sonifier");
    // Samples beyond full scale are clipped here rather than wrapped round. libsndfile's own
    // clipping rounds 16-bit samples down, not to the nearest, and differently in each format.
    std::vector<float> clipped(sound.samples.size());
    std::transform(sound.samples.begin(), sound.samples.end(), clipped.begin(),
                   [](float sample) { return std::clamp(sample, -1.f, kHighest); });
    if (sf_writef_float(out.get(), clipped.data(), sound.frames()) != sound.frames())
        throw std::runtime_error(sf_strerror(out.get()));
    // Closing writes what the encoder still holds, and the headers' lengths.
    if (sf_close(out.release()) != 0)
        throw std::runtime_error("the encoder could not finish the file");
    return std::move(file.bytes);
}
