// The tool's platform pieces on Windows.
#include "platform/tool_platform.h"

#include <windows.h>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "standard_output.h"

namespace rudid::cli::platform {

const int kStandardInput = 0;

long ReadBlock(int fd, char *buffer, std::size_t size, const std::function<void()> &beforeWaiting) {
    const HANDLE input = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (input == INVALID_HANDLE_VALUE) return -1;
    // A pipe tells how much it holds; a console may always make the reader
    // wait; a file never does.
    const DWORD type = GetFileType(input);
    DWORD available = 0;
    if (beforeWaiting &&
        ((type == FILE_TYPE_PIPE && PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) && available == 0) ||
         type == FILE_TYPE_CHAR))
        beforeWaiting();
    const DWORD asked = size > 0x10000000 ? 0x10000000 : DWORD(size);
    DWORD got = 0;
    if (ReadFile(input, buffer, asked, &got, nullptr)) return long(got);
    // The writer of a pipe closing it is the end of the input.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

double DecimalToNearestDouble(const std::string &number) {
    static const _locale_t cLocale = ::_create_locale(LC_ALL, "C");
    return ::_strtod_l(number.c_str(), nullptr, cLocale);
}

// A failed export raises the library's Windows exception instead of
// returning null: every call goes through RudidEvaluate, which gives the
// failure's code.
void *DirectExport(const char *) { return nullptr; }

std::string UserUnitFilePath() {
    const char *appData = std::getenv("APPDATA");
    if (appData && *appData) return std::string(appData) + "\\rudid32\\units";
    return "";
}

std::string NoUserUnitPlace() { return "APPDATA is not set: no place for a user's units"; }

std::string DirectoryOf(const std::string &path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(0, separator);
}

bool MakeDirectories(const std::string &path) {
    // "", "C:" and "\\server\share" are there or not: nothing to create.
    if (path.empty() || path.back() == ':' || path.find_first_not_of("\\/") == std::string::npos) return true;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
        errno = ENOTDIR;
        return false;
    }
    const std::string parent = DirectoryOf(path);
    if (parent != path && !MakeDirectories(parent)) return false;
    return ::_mkdir(path.c_str()) == 0 || errno == EEXIST;
}

}  // namespace rudid::cli::platform

namespace rudid::cli {

// Descriptors 0, 1 and 2 that a program started without them (from a
// window, with no console) lacks get the NUL device. Standard output is
// written in binary: the tool's output is the same bytes as on Linux, line
// ends LF, which Windows programs read as well as CR LF.
void KeepStandardDescriptorsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::_get_osfhandle(fd) != -1) continue;
        const int opened = ::_open("NUL", fd == 2 ? _O_WRONLY : _O_RDONLY);
        if (opened >= 0 && opened != fd) {
            ::_dup2(opened, fd);
            ::_close(opened);
        }
    }
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

}  // namespace rudid::cli
