#include "midi/midi_channel.h"
#include "recording_midi_out.h"

#include <gtest/gtest.h>

TEST(MidiChannel, OpensDeviceZeroAndSelectsTheMusicBox) {
    RecordingDevice device;
    openMidiChannel();
    ASSERT_NE(midiOut, nullptr);
    EXPECT_EQ(device.words, (std::vector<std::uint32_t>{0x00640AC0}));
}

TEST(MidiChannel, NotesCarryTheVelocityLeftByStartUp) {
    RecordingDevice device;
    openMidiChannel();
    sendNote(35);
    sendNote(81);
    sendNote(0x1A5); // only the low 8 bits of the note are sent
    EXPECT_EQ(device.words,
              (std::vector<std::uint32_t>{0x00640AC0, 0x00642390, 0x00645190, 0x0064A590}));
    EXPECT_EQ(midiMessage.word(), 0x0064A590u);
}

TEST(MidiChannel, WithoutADeviceEverySendIsSilentlyDropped) {
    const MidiOutputFactory previous =
        setMidiOutputFactory([](std::int32_t) -> MidiOutHandle { return nullptr; });
    openMidiChannel();
    EXPECT_EQ(midiOut, nullptr);
    sendNote(60);
    EXPECT_EQ(midiMessage.word(), 0x00643C90u);
    setMidiOutputFactory(previous);
}

TEST(MidiChannel, OnlyDeviceZeroExists) {
    MidiOutHandle handle;
    EXPECT_EQ(midiOutOpen(handle, 1), MidiResult::badDevice);
    EXPECT_EQ(handle, nullptr);
}
