#include "sweep/sweep_export.h"

#include "midi/midi_channel.h"
#include "midi/midi_file.h"
#include "platform/file_replace.h"
#include "platform/image_canvas.h"
#include "platform/sound_file.h"

#include <QBuffer>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <thread>

namespace {

constexpr QSize kPlotSize(660, 500);
// At most this long after the last note, for a soundfont whose Music Box never dies away.
constexpr double kLongestRingOut = 10.0;

SoundFileFormat soundFileFormat(ExportFormat format) {
    switch (format) {
    case ExportFormat::flac:
        return SoundFileFormat::flac;
    case ExportFormat::oggVorbis:
        return SoundFileFormat::oggVorbis;
    case ExportFormat::mp3:
        return SoundFileFormat::mp3;
    default:
        return SoundFileFormat::wav;
    }
}

std::string pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw ExportError(ExportProblem::failed, "the picture could not be encoded");
    return bytes.toStdString();
}

ExportProblem exportProblem(FileProblem problem) {
    switch (problem) {
    case FileProblem::folderNotWritable:
        return ExportProblem::folderNotWritable;
    case FileProblem::diskFull:
        return ExportProblem::diskFull;
    case FileProblem::failed:
        break;
    }
    return ExportProblem::failed;
}

const ExportFormatName& nameOf(ExportFormat format) {
    return *std::find_if(exportFormats().begin(), exportFormats().end(),
                         [&](const ExportFormatName& name) { return name.format == format; });
}

// ".wav, .flac, ... or .png"
std::string suffixList() {
    std::string list;
    const auto& formats = exportFormats();
    for (size_t i = 0; i < formats.size(); ++i)
        list += (i == 0                    ? "."
                 : i + 1 == formats.size() ? " or ."
                                           : ", .") +
                std::string(formats[i].suffix);
    return list;
}

} // namespace

const std::vector<ExportFormatName>& exportFormats() {
    static const std::vector<ExportFormatName> formats{
        {ExportFormat::wav, "wav", "WAV sound"},
        {ExportFormat::flac, "flac", "FLAC sound"},
        {ExportFormat::oggVorbis, "ogg", "Ogg Vorbis sound"},
        {ExportFormat::mp3, "mp3", "MP3 sound"},
        {ExportFormat::midi, "mid", "Standard MIDI File"},
        {ExportFormat::png, "png", "PNG picture"},
    };
    return formats;
}

std::optional<ExportFormat> exportFormatOf(const std::string& path) {
    std::string suffix = std::filesystem::path(path).extension().string();
    if (suffix.empty())
        return std::nullopt;
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const ExportFormatName& name : exportFormats()) {
        if (suffix.substr(1) == name.suffix)
            return name.format;
    }
    return std::nullopt;
}

ExportFormat exportFormatFor(const std::string& path) {
    const std::optional<ExportFormat> format = exportFormatOf(path);
    if (!format)
        throw ExportError(ExportProblem::unknownFormat,
                          "no format has this suffix (use " + suffixList() + ")");
    if (isSoundFormat(*format) && !canWriteSoundFile(soundFileFormat(*format)))
        throw ExportError(ExportProblem::unknownFormat,
                          std::string("this system's libsndfile does not write ") +
                              nameOf(*format).description);
    return *format;
}

bool isSoundFormat(ExportFormat format) {
    return format != ExportFormat::midi && format != ExportFormat::png;
}

QImage sweepPicture(const SweepRecord& sweep) {
    ImageCanvas plot(kPlotSize);
    preparePlot(plot);
    for (const SweepStep& step : sweep.steps)
        drawSweepStep(plot, step);
    return plot.picture();
}

const RenderedSound& SweepExport::sound() {
    if (soundError_)
        throw *soundError_;
    if (!sound_) {
        std::vector<TimedMessage> messages{
            {0, MidiMessage{{midi::kProgramChange, static_cast<std::uint8_t>(instrument),
                             midi::kVelocity, 0}}
                    .word()}};
        MidiMessage note{{midi::kNoteOn, 0, midi::kVelocity, 0}};
        for (size_t i = 0; i < sweep_.steps.size(); ++i) {
            note.bytes[1] = static_cast<std::uint8_t>(sweep_.steps[i].note);
            messages.push_back({sweep_.noteTimes[i], note.word()});
        }
        sound_ = renderOffline(messages, kLongestRingOut);
        if (!sound_) {
            soundError_ =
                ExportError(ExportProblem::noSoundfont,
                            "no General MIDI soundfont found (install fluid-soundfont-gm)");
            throw *soundError_;
        }
    }
    return *sound_;
}

std::string SweepExport::fileBytes(ExportFormat format) {
    switch (format) {
    case ExportFormat::midi:
        return standardMidiFile(sweep_);
    case ExportFormat::png:
        return pngBytes(sweepPicture(sweep_));
    default:
        break;
    }
    const RenderedSound& rendered = sound();
    try {
        return soundFileBytes(rendered, soundFileFormat(format), sweepTitle(sweep_));
    } catch (const std::runtime_error& error) {
        throw ExportError(ExportProblem::failed, error.what());
    }
}

void SweepExport::save(const std::string& path) {
    const std::string bytes = fileBytes(exportFormatFor(path));
    try {
        replaceFile(path, bytes);
    } catch (const FileWriteError& error) {
        throw ExportError(exportProblem(error.problem), error.what());
    }
}

std::vector<std::optional<ExportError>>
SweepExport::saveAll(const std::vector<std::string>& paths) {
    std::vector<std::optional<ExportError>> errors(paths.size());
    // The sound is rendered before the files are shared out, so that none of them renders it.
    const bool anySound = std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        const auto format = exportFormatOf(path);
        return format && isSoundFormat(*format);
    });
    if (anySound) {
        try {
            sound();
        } catch (const ExportError&) {
            // Each sound file reports it.
        }
    }
    std::atomic<size_t> next = 0;
    const auto saveNext = [&] {
        for (size_t i; (i = next++) < paths.size();) {
            try {
                save(paths[i]);
            } catch (const ExportError& error) {
                errors[i] = error;
            }
        }
    };
    std::vector<std::thread> helpers(
        std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), paths.size()) - 1);
    for (std::thread& helper : helpers)
        helper = std::thread(saveNext);
    saveNext();
    for (std::thread& helper : helpers)
        helper.join();
    return errors;
}
