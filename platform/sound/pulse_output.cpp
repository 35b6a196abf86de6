#include "platform/sound/pulse_output.h"

#include "platform/sound/realtime.h"

#include <pulse/pulseaudio.h>

#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kFrameBytes = kChannels * sizeof(float);

// What the server holds for us and how much it asks for at a time. It sizes its own work to
// these: PipeWire takes the request size as its whole graph's period, which at 256 frames
// (5.8 ms) stays where everyone else's audio is comfortable, and the 1024 frames asked for
// (the server grants about 768) ride out the server's own delays on a busy machine.
constexpr int kTargetFrames = 1024;
constexpr int kRequestFrames = 256;

class PulseOutput final : public AudioOutput {
public:
    PulseOutput(AudioSource& source, int sampleRate) : source_(source), sampleRate_(sampleRate) {}
    ~PulseOutput() override;

    bool open();
    void wake() override;
    int latencyFrames() const override { return latencyFrames_; }

private:
    static void changed(pa_context*, void* self) { signal(self); }
    static void streamChanged(pa_stream*, void* self) { signal(self); }
    static void signal(void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->loop_, 0);
    }
    static void writable(pa_stream*, size_t bytes, void* self) {
        static_cast<PulseOutput*>(self)->fill(bytes);
    }
    static void becomeRealtime(pa_threaded_mainloop*, void*) {
        makeThreadRealtime(currentThreadId());
    }
    bool connectStream();
    void fill(size_t bytes);
    void cork(bool corked);

    AudioSource& source_;
    const int sampleRate_;
    int latencyFrames_ = 0;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool corked_ = true;
    std::vector<float> samples_;
};

PulseOutput::~PulseOutput() {
    if (loop_)
        pa_threaded_mainloop_stop(loop_);
    if (stream_) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
    }
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_)
        pa_threaded_mainloop_free(loop_);
}

bool PulseOutput::open() {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return false;
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Ramp Sonifier");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.rampsonifier.RampSonifier");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.rampsonifier.RampSonifier");
    context_ =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), nullptr, properties);
    pa_proplist_free(properties);
    if (!context_)
        return false;
    pa_context_set_state_callback(context_, changed, this);
    // Only a server already running: none is started on our behalf.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0)
        return false;
    pa_threaded_mainloop_lock(loop_);
    pa_context_state_t state;
    while ((state = pa_context_get_state(context_)) != PA_CONTEXT_READY &&
           PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(loop_);
    const bool connected = state == PA_CONTEXT_READY && connectStream();
    // The loop's thread is the one that renders. The callback is queued on the loop, which
    // only the lock's holder may touch; it runs without the lock.
    if (connected)
        pa_threaded_mainloop_once_unlocked(loop_, becomeRealtime, nullptr);
    pa_threaded_mainloop_unlock(loop_);
    return connected;
}

bool PulseOutput::connectStream() {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(sampleRate_), kChannels};
    stream_ = pa_stream_new(context_, "Music Box", &format, nullptr);
    if (!stream_)
        return false;
    pa_stream_set_state_callback(stream_, streamChanged, this);
    pa_stream_set_write_callback(stream_, writable, this);
    pa_buffer_attr wanted{};
    wanted.maxlength = static_cast<uint32_t>(-1);
    wanted.tlength = kTargetFrames * kFrameBytes;
    wanted.prebuf = static_cast<uint32_t>(-1);
    wanted.minreq = kRequestFrames * kFrameBytes;
    wanted.fragsize = static_cast<uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &wanted, flags, nullptr, nullptr) < 0)
        return false;
    pa_stream_state_t state;
    while ((state = pa_stream_get_state(stream_)) != PA_STREAM_READY && PA_STREAM_IS_GOOD(state))
        pa_threaded_mainloop_wait(loop_);
    if (state != PA_STREAM_READY)
        return false;
    // A run starts behind what the server holds (the end of the run before, or the silence
    // of the first fill), so a message sent as a run goes on is due a full buffer after the
    // frame it would be rendered in.
    latencyFrames_ = static_cast<int>(pa_stream_get_buffer_attr(stream_)->tlength / kFrameBytes);
    return true;
}

// In the loop's thread, when the server asks for more.
void PulseOutput::fill(size_t bytes) {
    const int frames = static_cast<int>(bytes / kFrameBytes);
    samples_.assign(static_cast<size_t>(frames) * kChannels, 0.0f);
    // Asked while corked (the stream's first fill): silence, which plays ahead of the first
    // run as the end of a run plays ahead of the next.
    const bool sounding =
        !corked_ && source_.render(samples_.data(), samples_.data() + 1, kChannels, frames);
    pa_stream_write(stream_, samples_.data(), samples_.size() * sizeof(float), nullptr, 0,
                    PA_SEEK_RELATIVE);
    // Corked with its buffer full: the server stops mixing it and asks for nothing more.
    if (!sounding && !corked_)
        cork(true);
}

void PulseOutput::cork(bool corked) {
    corked_ = corked;
    if (pa_operation* operation = pa_stream_cork(stream_, corked, nullptr, nullptr))
        pa_operation_unref(operation);
}

void PulseOutput::wake() {
    pa_threaded_mainloop_lock(loop_);
    // A stream the server has dropped stays silent: nothing to wake, nothing to report.
    if (corked_ && pa_stream_get_state(stream_) == PA_STREAM_READY)
        cork(false);
    pa_threaded_mainloop_unlock(loop_);
}

} // namespace

std::unique_ptr<AudioOutput> openPulseOutput(AudioSource& source, int sampleRate) {
    auto output = std::make_unique<PulseOutput>(source, sampleRate);
    if (!output->open())
        return nullptr;
    return output;
}
