// The Windows side of the platform layer: INI lookup through the private
// profile services, table files through the Win32 file API, and failures
// raised as a Windows exception.
#include <windows.h>

#include <cstdio>

#include "common/failure.h"
#include "platform/platform.h"
#include "rudid32.h"

namespace rudid::platform {

const char kPathSeparator = '\\';

namespace {

// The INI file that start-up reads, found once: ZAREVIRU.INI in the Windows
// directory, where installations have always kept it; else the one beside
// this DLL, so that an unpacked folder works without administrator rights;
// else the Windows directory's name again, which gives the defaults.
struct IniLocation {
    char path[1024] = "ZAREVIRU.INI";  // a bare name: the Windows directory
    char folder[1024] = "";           // the DLL's folder when the INI is beside it
};

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

IniLocation FindIni() {
    IniLocation location;
    char windows[MAX_PATH + 1];
    const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows) return location;
    char inWindows[MAX_PATH + 16];
    std::snprintf(inWindows, sizeof inWindows, "%s%sZAREVIRU.INI", windows, windows[length - 1] == '\\' ? "" : "\\");
    if (Exists(inWindows)) return location;

    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&FindIni), &self))
        return location;
    char module[sizeof location.folder];
    const DWORD size = GetModuleFileNameA(self, module, sizeof module);
    if (size == 0 || size >= sizeof module) return location;
    char *slash = nullptr;
    for (char *c = module; *c; ++c)
        if (*c == '\\' || *c == '/') slash = c;
    if (!slash) return location;
    *slash = '\0';
    char beside[sizeof location.path];
    if (lstrlenA(module) + 14 > int(sizeof beside)) return location;
    std::snprintf(beside, sizeof beside, "%s\\ZAREVIRU.INI", module);
    if (!Exists(beside)) return location;
    lstrcpyA(location.path, beside);
    lstrcpyA(location.folder, module);
    return location;
}

const IniLocation &Ini() {
    static const IniLocation location = FindIni();
    return location;
}

// "D:\tables", "\\server\share", "\\tables" (the current drive's root): not
// relative to anything.
bool IsAbsolute(const char *path) {
    return path[0] == '\\' || path[0] == '/' || (path[0] != '\0' && path[1] == ':');
}

}  // namespace

void ReadStartupDirectoryValue(char *buffer, std::size_t size) {
    if (size == 0) return;
    // With 255 passed, a longer value comes back cut to 254 characters,
    // which leaves room for the separator that start-up appends.
    const DWORD passed = size > 255 ? 255 : static_cast<DWORD>(size);
    buffer[0] = '\0';
    GetPrivateProfileStringA("STARTUP", "DIR", "C:\\", buffer, passed, Ini().path);
    buffer[passed - 1] = '\0';
    // In the INI beside the DLL a relative directory is the DLL folder's:
    // DIR=. is that folder, DIR=data its subfolder. The whole path is cut
    // as a value is. (In the Windows directory's INI it stays as it is.)
    if (Ini().folder[0] != '\0' && buffer[0] != '\0' && !IsAbsolute(buffer)) {
        char value[256];
        lstrcpynA(value, buffer, sizeof value);
        const bool here = lstrcmpA(value, ".") == 0 || lstrcmpA(value, ".\\") == 0;
        char joined[sizeof Ini().folder + sizeof value + 2];
        std::snprintf(joined, sizeof joined, here ? "%s" : "%s\\%s", Ini().folder, value);
        lstrcpynA(buffer, joined, int(passed));
    }
}

int ReadStartupIntegerValue(const char *key, int defaultValue) {
    return static_cast<int>(GetPrivateProfileIntA("STARTUP", key, defaultValue, Ini().path));
}

namespace {

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

int LastErrorCode() {
    const DWORD error = GetLastError();
    // A failing call always sets an error; keep a failure a failure even if
    // it did not.
    return error != 0 ? static_cast<int>(error) : kFileAccessDenied;
}

}  // namespace

int OpenForReading(const char *path, FileHandle *file) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorCode();
    // Only a disk file is a data file: a pipe or a character device (CON,
    // NUL, COM1) could block a read or never end one.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return kFileAccessDenied;
    }
    file->value = reinterpret_cast<std::intptr_t>(handle);
    return 0;
}

int ReadAt(FileHandle file, std::uint64_t offset, void *buffer, std::size_t length,
           std::size_t *transferred) {
    *transferred = 0;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(ToHandle(file), position, nullptr, FILE_BEGIN)) return LastErrorCode();
    auto *out = static_cast<unsigned char *>(buffer);
    while (*transferred < length) {
        const std::size_t left = length - *transferred;
        const DWORD request = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(ToHandle(file), out + *transferred, request, &got, nullptr))
            return LastErrorCode();
        if (got == 0) break;  // end of file
        *transferred += got;
    }
    return 0;
}

int CloseFile(FileHandle file) {
    if (!CloseHandle(ToHandle(file))) return LastErrorCode();
    return 0;
}

namespace {

std::int64_t Ticks(const FILETIME &t) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

int IdentityOfHandle(HANDLE handle, FileIdentity *identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return LastErrorCode();
    *identity = {info.dwVolumeSerialNumber,
                 (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                 (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                 Ticks(info.ftLastWriteTime), Ticks(info.ftCreationTime)};
    return 0;
}

}  // namespace

int IdentifyFile(const char *path, FileIdentity *identity) {
    // Opened for no access at all and sharing everything: asking for the
    // identity never stands in the way of a writer or another reader.
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorCode();
    const int code = IdentityOfHandle(handle, identity);
    CloseHandle(handle);
    return code;
}

int IdentifyOpenFile(FileHandle file, FileIdentity *identity) { return IdentityOfHandle(ToHandle(file), identity); }

std::uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

const bool kFailureMessageNamesFile = false;

double *FailExport(int code) {
    const ULONG_PTR parameter = static_cast<ULONG_PTR>(static_cast<unsigned>(code));
    RaiseException(RUDID_EXCEPTION_CODE, EXCEPTION_NONCONTINUABLE, 1, &parameter);
    // RaiseException does not return for a non-continuable exception: a
    // handler that asks to continue gets STATUS_NONCONTINUABLE_EXCEPTION.
    return nullptr;
}

}  // namespace rudid::platform
