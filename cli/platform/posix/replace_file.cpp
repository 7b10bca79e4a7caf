#include "replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

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

const char *KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "something else";
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

// A temporary left by a writer that was killed before it could remove it:
// our own name pattern ".NAME.XXXXXX", a regular file of ours, modified more
// than a minute ago, and not locked: its writer holds a lock on it from
// creation to rename, which ends with the writer's process.
bool IsStaleTemporary(const std::string &directory, const std::string &prefix, const char *entry) {
    constexpr std::size_t kRandomPart = 6;  // mkstemp's XXXXXX
    const std::size_t length = std::strlen(entry);
    if (length != prefix.size() + kRandomPart || std::strncmp(entry, prefix.c_str(), prefix.size()) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < length; ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i]))) return false;
    const std::string path = directory + "/" + entry;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    const bool stale = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
                       std::time(nullptr) - status.st_mtime > 60 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return stale;
}

// Removes the stale temporaries of earlier replacements of this file.
void RemoveStaleTemporaries(const std::string &directory, const std::string &name) {
    DIR *entries = ::opendir(directory.c_str());
    if (!entries) return;
    const std::string prefix = "." + name + ".";
    while (const dirent *entry = ::readdir(entries))
        if (IsStaleTemporary(directory, prefix, entry->d_name)) ::unlink((directory + "/" + entry->d_name).c_str());
    ::closedir(entries);
}

}  // namespace

bool ReplaceFileAtomically(const std::string &path, std::string_view bytes, std::string *error) {
    const std::string target = ResolvedTarget(path);
    // A rename replaces whatever the name stands for: a device, a FIFO or
    // a socket would be swapped for a regular file and lost to whoever
    // uses it. Only regular files (and names not yet taken) are ours to
    // replace.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        *error = "will not replace " + target + ": it is " + KindOf(existing.st_mode) + ", not a regular file";
        return false;
    }
    const std::string directory = DirectoryOf(target);
    RemoveStaleTemporaries(directory, NameOf(target));
    std::string temporary = directory + "/." + NameOf(target) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = SystemError("cannot create a file in", directory);
        return false;
    }
    // Held until the file is renamed or removed: tells a later run that
    // this temporary still has its writer.
    ::flock(fd, LOCK_EX | LOCK_NB);
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
