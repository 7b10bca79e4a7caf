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

}  // namespace rudid::cli
