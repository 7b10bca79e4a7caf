#include "bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rudid::cli {

namespace {

std::string SystemError(const std::string &what, const std::string &path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

FileRead ReadBoundedFile(const std::string &path, std::size_t limit, std::string *bytes, std::string *error) {
    bytes->clear();
    // Without blocking: a FIFO with no writer would hold the open for ever;
    // it is refused below, as anything but a regular file is.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return FileRead::Missing;
        *error = SystemError("cannot open", path);
        return FileRead::Refused;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        *error = SystemError("cannot read", path);
        ::close(fd);
        return FileRead::Refused;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = path + " is not a regular file";
        ::close(fd);
        return FileRead::Refused;
    }
    char buffer[4096];
    bool ok = true;
    // The size is checked as the bytes arrive too: a file that grows while
    // it is read stops at the limit all the same.
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) *error = SystemError("cannot read", path);
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (bytes->size() + std::size_t(got) > limit) {
            *error = path + " is larger than " + std::to_string(limit) + " bytes";
            ok = false;
            break;
        }
        bytes->append(buffer, std::size_t(got));
    }
    ::close(fd);
    if (!ok) bytes->clear();
    return ok ? FileRead::Read : FileRead::Refused;
}

}  // namespace rudid::cli
