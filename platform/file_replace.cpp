#include "platform/file_replace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileWriteError errorOf(int error) {
    switch (error) {
    case ENOSPC:
        return {FileProblem::diskFull, "the disk is full"};
    case EDQUOT:
        return {FileProblem::diskFull, "the disk quota is used up"};
    case EFBIG:
        return {FileProblem::diskFull, "the file is too large for the disk"};
    case ENOENT:
    case ENOTDIR:
        return {FileProblem::folderNotWritable, "the folder does not exist"};
    case EACCES:
    case EPERM:
        return {FileProblem::folderNotWritable, "the folder cannot be written (permission denied)"};
    case EROFS:
        return {FileProblem::folderNotWritable, "the folder is on a read-only file system"};
    case EISDIR:
        return {FileProblem::folderNotWritable, "it is a folder"};
    case ENAMETOOLONG:
        return {FileProblem::folderNotWritable, "the name is too long"};
    default:
        return {FileProblem::failed, std::strerror(error)};
    }
}

// A new file of a name no one uses, beside the file it is to replace, hidden from listings;
// permissions as the user's umask gives any new file.
int createBeside(const std::filesystem::path& path, std::string& created) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = (path.parent_path() / ("." + path.filename().string() + "." +
                                         std::to_string(random() % 1'000'000'000)))
                      .string();
        const int fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

} // namespace

void replaceFile(const std::string& name, std::string_view bytes) {
    std::filesystem::path path(name);
    if (path.filename().empty())
        throw errorOf(EISDIR);
    if (path.parent_path().empty())
        path = "." / path;
    struct stat existing {};
    const bool replacing = stat(path.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode))
        throw errorOf(EISDIR);

    std::string created;
    const int fd = createBeside(path, created);
    if (fd < 0)
        throw errorOf(errno);
    // Written whole and on the disk before it takes the name: the old file stays until then.
    int error = 0;
    if (replacing && S_ISREG(existing.st_mode) && fchmod(fd, existing.st_mode & 07777) != 0)
        error = errno;
    else if (!writeAll(fd, bytes) || fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(created.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(created.c_str());
        throw errorOf(error);
    }
}
