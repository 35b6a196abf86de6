#include "app/export_command.h"

#include "sweep/sweep_export.h"

#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr int kDefaultWhole = 500;
constexpr int kLowestWhole = 1; // the slider's range
constexpr int kHighestWhole = 1000;

int statusOf(ExportProblem problem) {
    switch (problem) {
    case ExportProblem::unknownFormat:
        return exportStatus::kUnknownFormat;
    case ExportProblem::noSoundfont:
        return exportStatus::kNoSoundfont;
    case ExportProblem::folderNotWritable:
        return exportStatus::kFolderNotWritable;
    case ExportProblem::diskFull:
        return exportStatus::kDiskFull;
    case ExportProblem::failed:
        break;
    }
    return exportStatus::kFailed;
}

void reportCannotWrite(const QString& file, const char* reason) {
    std::fprintf(stderr, "ramp-sonifier: cannot write '%s': %s\n", qPrintable(file), reason);
}

} // namespace

int exportSweepFiles(const QStringList& files, const std::optional<QString>& wholeText) {
    int whole = kDefaultWhole;
    if (wholeText) {
        static const QRegularExpression digits("^[0-9]{1,9}$");
        whole = digits.match(*wholeText).hasMatch() ? wholeText->toInt() : 0;
        if (whole < kLowestWhole || whole > kHighestWhole) {
            std::fprintf(stderr,
                         "ramp-sonifier: --whole takes a whole number from %d to %d, not '%s'\n",
                         kLowestWhole, kHighestWhole, qPrintable(*wholeText));
            return exportStatus::kBadWhole;
        }
    }
    for (const QString& file : files) {
        try {
            exportFormatFor(file.toStdString());
        } catch (const ExportError& error) {
            reportCannotWrite(file, error.what());
            return statusOf(error.problem);
        }
    }

    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(file.toStdString());
    const auto errors = SweepExport(plannedSweep(whole)).saveAll(paths);
    int status = 0;
    for (size_t i = 0; i < errors.size(); ++i) {
        if (errors[i]) {
            reportCannotWrite(files[i], errors[i]->what());
            if (status == 0)
                status = statusOf(errors[i]->problem);
        }
    }
    return status;
}
