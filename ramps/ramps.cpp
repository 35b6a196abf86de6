#include "ramps/ramps.h"

std::int32_t note = 0;

namespace {

// Signed 32-bit products wrap as two's complement does; C++20 defines the conversion back.
std::int32_t wrappingProduct(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The steps both ramps share: whole 0 counts as 1, and part wraps at whole keeping its sign.
// A whole of -1 leaves remainder 0 for every part (INT_MIN % -1 would overflow).
struct Wrapped {
    std::int32_t part;
    std::int32_t whole;
};

Wrapped wrapPart(std::int32_t part, std::int32_t whole) {
    if (whole == 0)
        whole = 1;
    return {whole == -1 ? 0 : part % whole, whole};
}

} // namespace

Colour colorRamp(std::int32_t part, std::int32_t whole) {
    const auto w = wrapPart(part, whole);
    // |part| < |whole| after wrapping, so the quotient cannot overflow.
    const std::int32_t v = wrappingProduct(w.part, 1792) / w.whole;

    std::int32_t r = 0, g = 0, b = 0;
    if (v < 256) {
        b = v;
    } else if (v < 512) {
        g = v - 256;
        b = 255;
    } else if (v < 768) {
        g = 255;
        b = 255 - (v - 512);
    } else if (v < 1024) {
        r = v - 768;
        g = 255;
    } else if (v < 1280) {
        r = 255;
        g = 255 - (v - 1024);
    } else if (v < 1536) {
        r = 255;
        b = v - 1280;
    } else {
        r = 255;
        g = v - 1536;
        b = 255;
    }
    const auto low8 = [](std::int32_t c) { return static_cast<Colour>(c) & 0xFFu; };
    return low8(r) | low8(g) << 8 | low8(b) << 16;
}

std::int32_t midiRamp(std::int32_t part, std::int32_t whole) {
    const auto w = wrapPart(part, whole);
    note = wrappingProduct(w.part, 47) / w.whole + 35;
    return note;
}
