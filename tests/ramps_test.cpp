#include "ramps/ramps.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct RampCase {
    std::int32_t part;
    std::int32_t whole;
    Colour colour;
    std::int32_t note;
};

// Expected values worked out by hand from the two rules; the extremes check that the
// arithmetic wraps as 32-bit two's complement does.
const RampCase kCases[] = {
    {0, 500, 0x000000, 35},
    {500, 500, 0x000000, 35}, // wraps to 0
    {250, 500, 0x00FF80, 58}, // v = 896: green to yellow
    {499, 500, 0xFFFCFF, 81}, // the top of both ranges: almost white
    {600, 500, 0xFF6600, 44}, // wraps to 100
    {100, 500, 0xFF6600, 44},
    {-1, 500, 0xFD0000, 35}, // v = -3: its low 8 bits as blue; -47 / 500 truncates to 0
    {-7, -3, 0xAAFF00, 50},  // the remainder keeps the sign of part: -1
    {7, 0, 0x000000, 35},    // whole 0 counts as 1
    {7, 1, 0x000000, 35},
    {-123456, 1, 0x000000, 35},
    {255, 1792, 0xFF0000, 41}, // segment edges, v = part
    {256, 1792, 0xFF0000, 41},
    {511, 1792, 0xFFFF00, 48},
    {767, 1792, 0x00FF00, 55},
    {1023, 1792, 0x00FFFF, 61},
    {1279, 1792, 0x0000FF, 68},
    {1535, 1792, 0xFF00FF, 75},
    {1536, 1792, 0xFF00FF, 75},
    {1791, 1792, 0xFFFFFF, 81},
    {INT_MIN, -1, 0x000000, 35}, // the remainder is 0, not an overflow
    {INT_MAX, -1, 0x000000, 35},
    {INT_MIN, INT_MIN, 0x000000, 35},
    {INT_MAX, INT_MIN, 0x000000, 35}, // the products wrap to -1792 and -47
    {INT_MIN + 1, INT_MAX, 0x000000, 35},
    {INT_MAX, 1000, 0x0078FF, 65},
    {1000000, 1000001, 0xFFFFFF, 81}, // 1792000000 still fits
    {2000000, 2000001, 0x9D0000, 81}, // 3584000000 wraps to -710967296: v = -355
};

} // namespace

TEST(Ramps, TableOfCases) {
    for (const RampCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "part " << c.part << ", whole " << c.whole);
        EXPECT_EQ(colorRamp(c.part, c.whole), c.colour);
        EXPECT_EQ(midiRamp(c.part, c.whole), c.note);
        EXPECT_EQ(note, c.note) << "midiRamp keeps its result in the program-wide note";
    }
}
