#include "unit_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rudid32.h"

namespace rudid::cli {

namespace {

constexpr std::size_t kUnitFileSize = 2 * kSelectionWordCount;  // 62 bytes
// A unit file is 62 bytes; anything this large is not one.
constexpr off_t kLargestUnitFile = 1 << 20;

std::string SystemError(const std::string &what, const std::string &path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::uint8_t *data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

// The file that a rename must replace: the target of a symbolic link, so
// that the link keeps naming the configuration.
std::string ResolvedTarget(const std::string &path) {
    char resolved[PATH_MAX];
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode) && ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string DirectoryOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string UnitFilePath() {
    const char *directory = RudidDataDirectory();
    return std::string(directory ? directory : "") + "default.cfg";
}

bool ReadUnitFile(const std::string &path, UnitFile *file, std::string *error) {
    file->path = path;
    file->exists = false;
    file->bytes.clear();
    // Without blocking: a FIFO with no writer would hold the open for ever;
    // it is refused below, as anything but a regular file is.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        *error = SystemError("cannot open", path);
        return false;
    }
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0;
    if (ok && (!S_ISREG(status.st_mode) || status.st_size > kLargestUnitFile)) {
        *error = path + " is not a unit configuration file";
        ::close(fd);
        return false;
    }
    std::uint8_t buffer[4096];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        file->bytes.insert(file->bytes.end(), buffer, buffer + got);
    }
    if (!ok) *error = SystemError("cannot read", path);
    ::close(fd);
    file->exists = ok;
    return ok;
}

SelectionWords SelectionsOf(const std::vector<std::uint8_t> &bytes) {
    SelectionWords words{};
    const std::size_t count = bytes.size() < kUnitFileSize ? bytes.size() : kUnitFileSize;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t word = std::uint16_t(words[i / 2]);
        words[i / 2] = std::int16_t(word | std::uint16_t(bytes[i] << (i % 2 ? 8 : 0)));
    }
    return words;
}

void StoreSelection(std::vector<std::uint8_t> *bytes, int word, std::int16_t value) {
    if (bytes->size() < kUnitFileSize) bytes->resize(kUnitFileSize, 0);
    const std::uint16_t bits = std::uint16_t(value);
    (*bytes)[2 * word] = std::uint8_t(bits & 0xFF);
    (*bytes)[2 * word + 1] = std::uint8_t(bits >> 8);
}

bool ReplaceFileAtomically(const std::string &path, const std::vector<std::uint8_t> &bytes,
                           std::string *error) {
    const std::string target = ResolvedTarget(path);
    const std::string directory = DirectoryOf(target);
    std::string temporary = directory + "/.default.cfg.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = SystemError("cannot create a file in", directory);
        return false;
    }
    struct stat old {};
    const bool hadFile = ::stat(target.c_str(), &old) == 0;
    // mkstemp creates the file for its owner only; a unit file is for every
    // user of the library to read.
    const mode_t mode = hadFile ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && hadFile) {
        // Only the superuser may give the file away; failing that it stays
        // ours, and the mode is what matters to the readers.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (!ok) *error = SystemError("cannot write", temporary);
    if (::close(fd) != 0 && ok) {
        *error = SystemError("cannot write", temporary);
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        *error = SystemError("cannot replace", target);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    const int directoryFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd >= 0) {
        ::fsync(directoryFd);
        ::close(directoryFd);
    }
    return true;
}

}  // namespace rudid::cli
