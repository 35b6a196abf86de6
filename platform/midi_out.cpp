#include "platform/midi_out.h"

#include "platform/sound/synth_device.h"

#include <utility>

namespace {

MidiOutHandle openBuiltInDevice(std::int32_t device) {
    if (device != 0)
        return nullptr;
    return SynthDevice::open();
}

MidiOutputFactory& currentFactory() {
    static MidiOutputFactory factory = openBuiltInDevice;
    return factory;
}

} // namespace

MidiResult midiOutOpen(MidiOutHandle& handle, std::int32_t device) {
    handle = currentFactory()(device);
    if (handle)
        return MidiResult::ok;
    return device == 0 ? MidiResult::noSound : MidiResult::badDevice;
}

MidiResult midiOutShortMsg(MidiOutput* handle, std::uint32_t message) {
    if (!handle)
        return MidiResult::noSound;
    handle->shortMessage(message);
    return MidiResult::ok;
}

MidiOutputFactory setMidiOutputFactory(MidiOutputFactory factory) {
    return std::exchange(currentFactory(), std::move(factory));
}
