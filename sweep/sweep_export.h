#pragma once

#include "platform/sound/offline_render.h"
#include "sweep/sweep_record.h"

#include <QImage>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The kinds of file a sweep is kept in, each named by its suffix.
enum class ExportFormat { midi, wav, flac, oggVorbis, mp3, png };

struct ExportFormatName {
    ExportFormat format;
    const char* suffix; // without the dot, in lower case
    const char* description;
};

// Every format, sound files first, in the order the save dialogs offer them.
const std::vector<ExportFormatName>& exportFormats();

// The format named by the suffix of `path`, whatever its case; nothing for any other suffix.
std::optional<ExportFormat> exportFormatOf(const std::string& path);

bool isSoundFormat(ExportFormat format);

// Why a sweep could not be kept in a file.
enum class ExportProblem {
    unknownFormat,     // a suffix that names no format this system writes
    noSoundfont,       // a sound file, without a soundfont to play it with
    folderNotWritable, // missing, not writable, read-only, or the name is a folder's
    diskFull,
    failed,
};

struct ExportError : std::runtime_error {
    ExportError(ExportProblem problem, const std::string& reason)
        : std::runtime_error(reason), problem(problem) {}
    ExportProblem problem;
};

// The format `path` is to be written in. Throws ExportError when its suffix names no format
// this system writes.
ExportFormat exportFormatFor(const std::string& path);

// The plot as the window shows it after the sweep, 660 × 500, drawn with the plot's own code.
QImage sweepPicture(const SweepRecord& sweep);

// Keeps one sweep in files of any format. Its sound is rendered once, for the first sound
// file, and kept for the others.
class SweepExport {
public:
    explicit SweepExport(SweepRecord sweep) : sweep_(std::move(sweep)) {}

    // Writes the sweep to `path` in the format its suffix names: beside it first, then
    // renamed, so that a failure leaves nothing behind and an existing file as it was.
    // Throws ExportError with the reason in a few words.
    void save(const std::string& path);

    // Writes the sweep to each of `paths`, side by side on the machine's cores once its sound
    // is rendered. Returns each file's error, or nothing, in the order of `paths`.
    std::vector<std::optional<ExportError>> saveAll(const std::vector<std::string>& paths);

    // The file's bytes in `format`.
    std::string fileBytes(ExportFormat format);

private:
    const RenderedSound& sound();

    SweepRecord sweep_;
    std::optional<RenderedSound> sound_;
    std::optional<ExportError> soundError_; // why there is no sound, once that is known
};
