#include "replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace rudid::cli {

namespace {

std::string SystemError(const std::string &what, const std::string &path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(std::size_t(written));
    }
    return true;
}

// The file that a rename must replace: the target of a symbolic link, so
// that the link keeps naming the file.
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

std::string NameOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool ReplaceFileAtomically(const std::string &path, std::string_view bytes, std::string *error) {
    const std::string target = ResolvedTarget(path);
    const std::string directory = DirectoryOf(target);
    std::string temporary = directory + "/." + NameOf(target) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = SystemError("cannot create a file in", directory);
        return false;
    }
    struct stat old {};
    const bool hadFile = ::stat(target.c_str(), &old) == 0;
    // mkstemp creates the file for its owner only; the files the tool
    // writes are for every user to read.
    const mode_t mode = hadFile ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && hadFile) {
        // Only the superuser may give the file away; failing that it stays
        // ours, and the mode is what matters to the readers.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
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
