// Record-file access on POSIX systems, with errno mapped onto the library's
// failure codes.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/failure.h"
#include "platform/platform.h"

namespace rudid::platform {

namespace {

// Whether the directory part of path exists; a missing directory is
// "Invalid filename" rather than "File not found".
bool DirectoryOfPathExists(const char *path) {
    const char *slash = std::strrchr(path, '/');
    if (!slash) return true;
    std::size_t length = std::size_t(slash - path);
    if (length == 0) return true;
    char directory[kMaxPathSize];
    if (length >= sizeof directory) return false;
    std::memcpy(directory, path, length);
    directory[length] = '\0';
    struct stat info;
    return stat(directory, &info) == 0 && S_ISDIR(info.st_mode);
}

int CodeForErrno(int error, const char *path) {
    switch (error) {
        case ENOENT: return path && !DirectoryOfPathExists(path) ? kInvalidFilename : kFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return kInvalidFilename;
        case EMFILE:
        case ENFILE: return kTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR: return kFileAccessDenied;
        case ENOSPC: return kDiskFull;
        case EIO: return kDeviceIoError;  // the code Windows gives for a device I/O error
        default: return error;
    }
}

}  // namespace

int OpenForReading(const char *path, FileHandle *file) {
    // Only a regular file is a data file. Opened without blocking, so that a
    // FIFO with no writer does not hold the caller at the open; a FIFO, a
    // device such as /dev/zero or a directory is then refused as Windows
    // refuses what is not a disk file: access denied.
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return CodeForErrno(errno, path);
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kFileAccessDenied;
    }
    file->value = fd;
    return 0;
}

int ReadAt(FileHandle file, std::uint64_t offset, void *buffer, std::size_t length,
           std::size_t *transferred) {
    std::size_t done = 0;
    auto *bytes = static_cast<unsigned char *>(buffer);
    while (done < length) {
        const ssize_t got = ::pread(int(file.value), bytes + done, length - done, off_t(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            *transferred = done;
            return CodeForErrno(errno, nullptr);
        }
        if (got == 0) break;  // end of file
        done += std::size_t(got);
    }
    *transferred = done;
    return 0;
}

int CloseFile(FileHandle file) {
    // The descriptor is released even when close reports an error; a retry
    // could close a descriptor that another thread has opened since.
    if (::close(int(file.value)) != 0 && errno != EINTR) return CodeForErrno(errno, nullptr);
    return 0;
}

namespace {

std::int64_t Nanoseconds(const struct timespec &t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

FileIdentity IdentityOf(const struct stat &info) {
    return {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::uint64_t(info.st_size),
            Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
}

}  // namespace

int IdentifyFile(const char *path, FileIdentity *identity) {
    struct stat info;
    if (::stat(path, &info) != 0) return CodeForErrno(errno, path);
    *identity = IdentityOf(info);
    return 0;
}

int IdentifyOpenFile(FileHandle file, FileIdentity *identity) {
    struct stat info;
    if (::fstat(int(file.value), &info) != 0) return CodeForErrno(errno, nullptr);
    *identity = IdentityOf(info);
    return 0;
}

std::uint64_t MonotonicMilliseconds() {
    // The coarse clock is read without a system call and is precise enough
    // for a recheck once a second.
    struct timespec now;
    if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0) ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1000 + std::uint64_t(now.tv_nsec) / 1000000;
}

}  // namespace rudid::platform
