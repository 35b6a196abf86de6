// colorRamp and midiRamp against a plain 64-bit restatement of their rule. Every 8 bytes of
// input are one (part, whole) pair of 32-bit integers, little-endian; both results must match
// the restatement exactly, and midiRamp must leave its result in `note`.

#include "ramps/ramps.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The value two's complement 32-bit arithmetic leaves: the low 32 bits, read as signed.
std::int64_t wrap32(std::int64_t x) {
    const std::int64_t low = x & 0xFFFFFFFF;
    return low >= 0x80000000 ? low - 0x100000000 : low;
}

struct Expected {
    std::uint32_t colour;
    std::int64_t note;
};

// In 64 bits no step overflows, so each step the rule does in 32 bits is wrapped explicitly;
// C++ division and remainder truncate towards zero, as the rule's do.
Expected reference(std::int64_t part, std::int64_t whole) {
    if (whole == 0)
        whole = 1;
    part %= whole; // whole -1 gives 0 here without special care
    const std::int64_t v = wrap32(wrap32(part * 1792) / whole);
    std::int64_t r = 0, g = 0, b = 0;
    if (v < 256) {
        b = v;
    } else if (v < 512) {
        g = v - 256, b = 255;
    } else if (v < 768) {
        g = 255, b = 255 - (v - 512);
    } else if (v < 1024) {
        r = v - 768, g = 255;
    } else if (v < 1280) {
        r = 255, g = 255 - (v - 1024);
    } else if (v < 1536) {
        r = 255, b = v - 1280;
    } else {
        r = 255, g = v - 1536, b = 255;
    }
    const auto colour = static_cast<std::uint32_t>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
    return {colour, wrap32(wrap32(wrap32(part * 47) / whole) + 35)};
}

std::int32_t readInt32(const std::uint8_t* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[i];
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        const std::int32_t part = readInt32(data + at);
        const std::int32_t whole = readInt32(data + at + 4);
        const Expected expected = reference(part, whole);
        const Colour colour = colorRamp(part, whole);
        const std::int32_t midi = midiRamp(part, whole);
        if (colour != expected.colour || midi != expected.note || note != midi) {
            std::fprintf(stderr,
                         "part %d, whole %d: colorRamp 0x%06X (expected 0x%06X), midiRamp %d "
                         "(expected %lld), note %d\n",
                         part, whole, colour, expected.colour, midi,
                         static_cast<long long>(expected.note), note);
            std::abort();
        }
    }
    return 0;
}
