#include "midi/midi_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Event {
    std::uint32_t tick;
    std::string bytes; // status and data, or a meta event whole
};

// The track of a format 0 file, each event at its tick from the start. Running status is not
// used by the writer, so every event carries its status.
std::vector<Event> track(const std::string& file) {
    std::vector<Event> events;
    size_t at = 22; // past the header chunk and the track chunk's own header
    std::uint32_t tick = 0;
    while (at < file.size()) {
        std::uint32_t delta = 0;
        for (unsigned char byte = 0x80; byte & 0x80; ++at) {
            byte = static_cast<unsigned char>(file[at]);
            delta = delta << 7 | (byte & 0x7F);
        }
        tick += delta;
        const auto status = static_cast<unsigned char>(file[at]);
        const size_t length = status == 0xFF ? 3 + static_cast<unsigned char>(file[at + 2])
                              : status >= 0xC0 && status < 0xE0 ? 2
                                                                : 3;
        events.push_back({tick, file.substr(at, length)});
        at += length;
    }
    return events;
}

} // namespace

// Notes sent a little early or late keep their own moments, each rounded to the half
// millisecond on its own: the rounding of one does not carry into the next.
TEST(MidiFile, EachNoteLiesAtItsMomentToTheHalfMillisecond) {
    SweepRecord sweep = plannedSweep(500);
    for (size_t i = 0; i < sweep.noteTimes.size(); ++i)
        sweep.noteTimes[i] += (i % 2 ? 0.0002 : -0.0002) + 0.00001 * static_cast<double>(i);
    const std::string file = standardMidiFile(sweep);
    ASSERT_EQ(file.substr(0, 14), std::string("MThd\0\0\0\6\0\0\0\1\1\xE0", 14));
    ASSERT_EQ(file.substr(14, 4), "MTrk");

    std::vector<Event> notes;
    for (const Event& event : track(file))
        if (static_cast<unsigned char>(event.bytes[0]) == 0x90)
            notes.push_back(event);
    ASSERT_EQ(notes.size(), sweep.noteTimes.size());
    for (size_t i = 0; i < notes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(notes[i].tick, std::lround(sweep.noteTimes[i] / 0.0005));
        const std::string noteOn{'\x90', static_cast<char>(sweep.steps[i].note), 100};
        EXPECT_EQ(notes[i].bytes, noteOn);
    }
    const Event end = track(file).back();
    EXPECT_EQ(end.bytes, std::string("\xFF\x2F\0", 3));
    EXPECT_EQ(end.tick, std::lround((sweep.noteTimes.back() + kRingOutSeconds) / 0.0005));
}
