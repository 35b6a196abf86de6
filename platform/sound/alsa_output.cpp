#include "platform/sound/alsa_output.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// 256 frames × 4 periods: 23 ms at 44.1 kHz, which a plain sound card's mixing device keeps
// fed from an ordinary thread.
constexpr int kPeriodSize = 256;
constexpr int kPeriods = 4;

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaOutput final : public AudioOutput {
public:
    AlsaOutput(AudioSource& source, int sampleRate);
    ~AlsaOutput() override;

    bool open();
    void wake() override;
    int latencyFrames() const override { return kPeriodSize * kPeriods; }

private:
    static int play(void* self, int frames, int, float*[], int outputs, float* out[]);
    // Opens and closes the driver, off the threads that ask for it: closing waits for the
    // driver's thread, which may be the one asking.
    void keep();

    AudioSource& source_;
    fluid_settings_t* settings_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> wanted_{false}; // whether the driver should be open (and play)
    bool woken_ = false;              // whether wake() came since the last render began
    bool quit_ = false;
    fluid_audio_driver_t* driver_ = nullptr;
    std::thread keeper_;
};

AlsaOutput::AlsaOutput(AudioSource& source, int sampleRate)
    : source_(source), settings_(new_fluid_settings()) {
    snd_lib_error_set_handler(ignoreAlsaError);
    fluid_settings_setstr(settings_, "audio.driver", "alsa");
    fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings_, "audio.period-size", kPeriodSize);
    fluid_settings_setint(settings_, "audio.periods", kPeriods);
}

AlsaOutput::~AlsaOutput() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_one();
    if (keeper_.joinable())
        keeper_.join();
    if (driver_)
        delete_fluid_audio_driver(driver_);
    delete_fluid_settings(settings_);
}

// The device must open now, or there is no output at all; then it sleeps.
bool AlsaOutput::open() {
    driver_ = new_fluid_audio_driver2(settings_, play, this);
    if (!driver_)
        return false;
    delete_fluid_audio_driver(driver_);
    driver_ = nullptr;
    keeper_ = std::thread([this] { keep(); });
    return true;
}

void AlsaOutput::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = wanted_ = true;
    }
    changed_.notify_one();
}

int AlsaOutput::play(void* self, int frames, int, float*[], int outputs, float* out[]) {
    auto* output = static_cast<AlsaOutput*>(self);
    if (outputs < 2 || !output->wanted_)
        return 0; // the buffers come zeroed: silence until the driver is closed
    {
        std::lock_guard lock(output->mutex_);
        output->woken_ = false;
    }
    if (output->source_.render(out[0], out[1], 1, frames))
        return 0;
    {
        // Asleep, unless woken while rendering.
        std::lock_guard lock(output->mutex_);
        if (output->woken_)
            return 0;
        output->wanted_ = false;
    }
    output->changed_.notify_one();
    return 0;
}

void AlsaOutput::keep() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        changed_.wait(lock, [this] { return quit_ || wanted_ != (driver_ != nullptr); });
        if (quit_)
            break;
        if (wanted_) {
            driver_ = new_fluid_audio_driver2(settings_, play, this);
            if (!driver_) // the device went away: asleep until the next message
                wanted_ = false;
        } else {
            fluid_audio_driver_t* driver = std::exchange(driver_, nullptr);
            lock.unlock();
            delete_fluid_audio_driver(driver);
            lock.lock();
        }
    }
}

} // namespace

std::unique_ptr<AudioOutput> openAlsaOutput(AudioSource& source, int sampleRate) {
    auto output = std::make_unique<AlsaOutput>(source, sampleRate);
    if (!output->open())
        return nullptr;
    return output;
}
