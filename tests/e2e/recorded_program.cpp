// The program's window as the program shows it, with device 0 replaced by a recorder, so that
// real-window tests see what device 0 receives, note for note, where sound alone could not
// tell it for certain. Each word device 0 is sent is written to the file MIDI_WORDS names, at
// once, as a line "SECONDS WORD": the moment it was sent on the monotonic clock (which Python's
// time.monotonic() reads) and the word in hex.
#include "platform/application.h"
#include "platform/midi_out.h"
#include "ui/start_up.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

class WordRecorder : public MidiOutput {
public:
    explicit WordRecorder(std::FILE* file) : file_(file) {}
    ~WordRecorder() override { std::fclose(file_); }

    void shortMessage(std::uint32_t word) override {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        std::fprintf(file_, "%.6f %08" PRIx32 "\n", seconds, word);
        std::fflush(file_);
    }

private:
    std::FILE* file_;
};

} // namespace

int main(int argc, char* argv[]) {
    const char* path = std::getenv("MIDI_WORDS");
    if (!path) {
        std::fputs("recorded_program: MIDI_WORDS names no file\n", stderr);
        return EXIT_FAILURE;
    }
    std::FILE* file = std::fopen(path, "w");
    if (!file) {
        std::perror(path);
        return EXIT_FAILURE;
    }
    setMidiOutputFactory([file](std::int32_t device) -> MidiOutHandle {
        if (device != 0)
            return nullptr;
        return std::make_unique<WordRecorder>(file);
    });
    Application application(argc, argv);
    return runMainWindow(stderr);
}
