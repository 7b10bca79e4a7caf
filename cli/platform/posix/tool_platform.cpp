// The tool's platform pieces on Linux and other POSIX systems.
#include "platform/tool_platform.h"

#include "standard_output.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace rudid::cli::platform {

const int kStandardInput = STDIN_FILENO;

long ReadBlock(int fd, char *buffer, std::size_t size, const std::function<void()> &beforeWaiting) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 0) == 0 && beforeWaiting) beforeWaiting();
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        return got < 0 ? -1 : long(got);
    }
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

double DecimalToNearestDouble(const std::string &number) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    return ::strtod_l(number.c_str(), nullptr, cLocale);
}

// The tool is linked with the library, so its exports are among the
// process's global symbols.
void *DirectExport(const char *name) { return ::dlsym(RTLD_DEFAULT, name); }

std::string UserUnitFilePath() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/rudid32/units";
    const char *home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/rudid32/units";
    return "";
}

std::string NoUserUnitPlace() { return "neither XDG_CONFIG_HOME nor HOME is set: no place for a user's units"; }

std::string DirectoryOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

bool MakeDirectories(const std::string &path) {
    if (path.empty()) return true;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    if (!MakeDirectories(DirectoryOf(path))) return false;
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace rudid::cli::platform

namespace rudid::cli {

void KeepStandardDescriptorsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open gives the lowest free descriptor: this one.
        const int opened = ::open("/dev/null", fd == 2 ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) ::close(opened);
    }
}

}  // namespace rudid::cli
