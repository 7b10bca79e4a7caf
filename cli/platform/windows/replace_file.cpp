// Files replaced whole on Windows: a temporary beside the file, flushed,
// then moved over it with MoveFileEx, which replaces the old file in one
// step and, write-through, returns once the move is on the disk. The new
// file gets the permissions that its folder gives new files.
#include "replace_file.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "platform/windows/system_message.h"

namespace rudid::cli {

namespace {

constexpr std::size_t kRandomPart = 6;

std::string SystemError(const std::string &what, const std::string &path, DWORD code) {
    return what + " " + path + ": " + platform::SystemMessage(code);
}

std::string DirectoryOf(const std::string &path) {
    const std::size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return ".";
    return path.substr(0, separator == 0 ? 1 : separator);
}

// The path of a name in the directory.
std::string Within(const std::string &directory, const std::string &name) {
    const char last = directory.empty() ? '\\' : directory.back();
    return directory + (last == '\\' || last == '/' ? "" : "\\") + name;
}

std::string NameOf(const std::string &path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The file that the move must replace: the target of a symbolic link, so
// that the link keeps naming the file.
std::string ResolvedTarget(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    char resolved[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleA(file, resolved, sizeof resolved, FILE_NAME_NORMALIZED);
    CloseHandle(file);
    if (length == 0 || length >= sizeof resolved) return path;
    std::string target(resolved, length);
    if (target.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + target.substr(8);
    if (target.rfind("\\\\?\\", 0) == 0) return target.substr(4);
    return target;
}

// What the path names when it is not a file on a disk ("a directory", "a
// device", "a pipe"); "" for a file, or for nothing.
std::string NotAFile(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return "a directory";
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    const DWORD type = GetFileType(file);
    CloseHandle(file);
    if (type == FILE_TYPE_DISK) return "";
    if (type == FILE_TYPE_CHAR) return "a device";
    if (type == FILE_TYPE_PIPE) return "a pipe";
    return "something else";
}

// Removes the temporaries ".NAME.XXXXXX" that writers killed before they
// could remove them left beside the file, when more than a minute old. A
// living writer keeps its temporary open without sharing its deletion, so
// that DeleteFile fails on it.
void RemoveStaleTemporaries(const std::string &directory, const std::string &name) {
    const std::string prefix = "." + name + ".";
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(Within(directory, prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME &time) {
        return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    constexpr ULONGLONG kMinute = 60ull * 10000000ull;  // in 100 ns
    do {
        const std::size_t length = std::strlen(found.cFileName);
        if (length != prefix.size() + kRandomPart || std::strncmp(found.cFileName, prefix.c_str(), prefix.size()) != 0)
            continue;
        bool ours = !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        for (std::size_t i = prefix.size(); i < length; ++i)
            ours = ours && std::isalnum(static_cast<unsigned char>(found.cFileName[i]));
        if (ours && ticks(now) - ticks(found.ftLastWriteTime) > kMinute)
            DeleteFileA(Within(directory, found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Creates a new temporary ".NAME.XXXXXX" in the directory, open for
// writing and shared for reading only.
HANDLE CreateTemporary(const std::string &directory, const std::string &name, std::string *temporary) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    ULONGLONG seed = GetTickCount64() * 2654435761ull ^ (ULONGLONG(GetCurrentProcessId()) << 20);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        std::string random;
        for (std::size_t i = 0, bits = std::size_t(seed >> 16); i < kRandomPart; ++i, bits /= 36)
            random += kDigits[bits % 36];
        *temporary = Within(directory, "." + name + "." + random);
        const HANDLE file = CreateFileA(temporary->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD asked = bytes.size() > 0x10000000 ? 0x10000000 : DWORD(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), asked, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string &path, std::string_view bytes, std::string *error) {
    const std::string target = ResolvedTarget(path);
    // The move replaces whatever the name stands for; only files on a disk
    // (and names not yet taken) are ours to replace.
    const std::string kind = NotAFile(target);
    if (!kind.empty()) {
        *error = "will not replace " + target + ": it is " + kind + ", not a regular file";
        return false;
    }
    const std::string directory = DirectoryOf(target);
    const std::string name = NameOf(target);
    RemoveStaleTemporaries(directory, name);
    std::string temporary;
    const HANDLE file = CreateTemporary(directory, name, &temporary);
    if (file == INVALID_HANDLE_VALUE) {
        *error = SystemError("cannot create a file in", directory, GetLastError());
        return false;
    }
    bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
    if (!ok) *error = SystemError("cannot write", temporary, GetLastError());
    CloseHandle(file);
    if (ok && !MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = SystemError("cannot replace", target, GetLastError());
        ok = false;
    }
    if (!ok) DeleteFileA(temporary.c_str());
    return ok;
}

}  // namespace rudid::cli
