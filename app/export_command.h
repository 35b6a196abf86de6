#pragma once

#include <QStringList>

#include <optional>

// Exit statuses of --export, each error its own (the manual page lists them).
namespace exportStatus {
constexpr int kBadWhole = 3;
constexpr int kUnknownFormat = 4;
constexpr int kFolderNotWritable = 5;
constexpr int kDiskFull = 6;
constexpr int kNoSoundfont = 7;
constexpr int kFailed = 8;
} // namespace exportStatus

// Makes the sweep Run makes with whole = `wholeText` (500 when not given) and writes it to each of
// `files`, in the format its suffix names, without a window, a display or a sound server.
// Every file and the whole are checked before anything is written; a file that then fails is
// said on stderr and the others are still written. Returns the exit status: 0, or the first
// error's.
int exportSweepFiles(const QStringList& files, const std::optional<QString>& wholeText);
