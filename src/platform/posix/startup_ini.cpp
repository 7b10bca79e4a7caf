// Where the library finds ZAREVIRU.INI on a system without private-profile
// services, and how it reads the one value it needs. First hit wins:
//   1. the file named by the environment variable ZAREVIRU_INI;
//   2. ZAREVIRU.INI in the directory that holds the loaded library;
//   3. /etc/ZAREVIRU.INI.
// The file is read with the rules of Windows profile files: lines of any
// length ending in LF, CR or CR LF, an optional UTF-8 byte-order mark,
// section and key names that match without regard to case, blanks around
// keys and values ignored, one pair of enclosing quotation marks removed,
// the first occurrence of a key deciding, and the value cut to 254
// characters.
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace rudid::platform {

const char kPathSeparator = '/';

namespace {

constexpr char kIniName[] = "ZAREVIRU.INI";
constexpr char kDefaultDirectory[] = "C:\\";
constexpr std::size_t kMaxValue = 254;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Reads the next line, of any length, without its end: LF, CR or CR LF.
// Returns false at the end of the file when no character was left.
bool ReadLine(std::FILE *file, std::string &line) {
    line.clear();
    int c;
    while ((c = std::getc(file)) != EOF) {
        if (c == '\n') return true;
        if (c == '\r') {
            const int next = std::getc(file);
            if (next != '\n' && next != EOF) std::ungetc(next, file);
            return true;
        }
        line.push_back(char(c));
    }
    return !line.empty();
}

// Looks for key in section of an open INI file; copies the value of its
// first occurrence and returns true on a hit. A UTF-8 byte-order mark at the
// start of the file is skipped.
bool FindValue(std::FILE *file, std::string_view section, std::string_view key, char *out,
               std::size_t size) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string line;
    bool firstLine = true;
    bool inSection = false;
    while (ReadLine(file, line)) {
        std::string_view text = line;
        if (firstLine && text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
            text.remove_prefix(kByteOrderMark.size());
        firstLine = false;
        text = Trim(text);
        if (!text.empty() && text.front() == '[') {
            const std::size_t close = text.find(']');
            if (close == std::string_view::npos) continue;
            inSection = EqualIgnoringCase(Trim(text.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection || (!text.empty() && text.front() == ';')) continue;
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        if (!EqualIgnoringCase(Trim(text.substr(0, equals)), key)) continue;
        std::string_view value = Trim(text.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        value = value.substr(0, std::min(value.size(), kMaxValue));
        // A zero byte in the value ends it, as it would in the profile reader's text.
        value = value.substr(0, std::min(value.size(), value.find('\0')));
        std::snprintf(out, size, "%.*s", int(value.size()), value.data());
        return true;
    }
    return false;
}

// Reads the value from the INI file at path. Returns false when the file
// cannot be opened (the next place is then tried); a file without the key
// gives the default.
bool ReadFrom(const char *path, char *out, std::size_t size) {
    std::FILE *file = std::fopen(path, "rb");
    if (!file) return false;
    bool found = false;
    try {
        found = FindValue(file, "STARTUP", "DIR", out, size);
    } catch (const std::bad_alloc &) {
        // A line too long to hold in memory: the file is treated as having
        // no value, and start-up goes on with the default.
    }
    if (!found) std::snprintf(out, size, "%s", kDefaultDirectory);
    std::fclose(file);
    return true;
}

bool ReadBesideLibrary(char *out, std::size_t size) {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&ReadStartupDirectoryValue), &info) || !info.dli_fname)
        return false;
    const char *slash = std::strrchr(info.dli_fname, '/');
    if (!slash) return false;
    char path[4096];
    const int written = std::snprintf(path, sizeof path, "%.*s/%s", int(slash - info.dli_fname),
                                      info.dli_fname, kIniName);
    if (written < 0 || std::size_t(written) >= sizeof path) return false;
    return ReadFrom(path, out, size);
}

}  // namespace

void ReadStartupDirectoryValue(char *buffer, std::size_t size) {
    const char *named = std::getenv("ZAREVIRU_INI");
    if (named && *named && ReadFrom(named, buffer, size)) return;
    if (ReadBesideLibrary(buffer, size)) return;
    char etc[] = "/etc/ZAREVIRU.INI";
    if (ReadFrom(etc, buffer, size)) return;
    std::snprintf(buffer, size, "%s", kDefaultDirectory);
}

}  // namespace rudid::platform
