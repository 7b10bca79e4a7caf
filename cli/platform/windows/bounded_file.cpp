// Small files read whole, on Windows: only files on a disk, not devices
// (NUL, CON, COM1), pipes or directories.
#include "bounded_file.h"

#include <windows.h>

#include "platform/windows/system_message.h"

namespace rudid::cli {

FileRead ReadBoundedFile(const std::string &path, std::size_t limit, std::string *bytes, std::string *error) {
    bytes->clear();
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return FileRead::Missing;
        // A directory cannot be opened so: say what it is.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            *error = path + " is not a regular file";
        else
            *error = "cannot open " + path + ": " + platform::SystemMessage(code);
        return FileRead::Refused;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        *error = path + " is not a regular file";
        CloseHandle(file);
        return FileRead::Refused;
    }
    char buffer[4096];
    bool ok = true;
    // The size is checked as the bytes arrive too: a file that grows while
    // it is read stops at the limit all the same.
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            *error = "cannot read " + path + ": " + platform::SystemMessage(GetLastError());
            ok = false;
            break;
        }
        if (got == 0) break;
        if (bytes->size() + got > limit) {
            *error = path + " is larger than " + std::to_string(limit) + " bytes";
            ok = false;
            break;
        }
        bytes->append(buffer, got);
    }
    CloseHandle(file);
    if (!ok) bytes->clear();
    return ok ? FileRead::Read : FileRead::Refused;
}

}  // namespace rudid::cli
