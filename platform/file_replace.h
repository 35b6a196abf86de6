#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// Why a file could not be written.
enum class FileProblem {
    folderNotWritable, // missing, not writable, read-only, or the name is a folder's
    diskFull,          // no space left, or the user's quota used up
    failed,            // any other error of the system
};

struct FileWriteError : std::runtime_error {
    FileWriteError(FileProblem problem, const std::string& reason)
        : std::runtime_error(reason), problem(problem) {}
    FileProblem problem;
};

// Writes `bytes` into a new file beside `path`, then renames it to `path`: a file already
// there is replaced only by a whole new one and keeps its permissions, and a failure leaves
// neither a partial file nor a changed one. Throws FileWriteError with the reason in a few
// words ("the disk is full").
void replaceFile(const std::string& path, std::string_view bytes);
