// Where the library finds ZAREVIRU.INI on a system without private-profile
// services, and how it reads the one value it needs. First hit wins:
//   1. the file named by the environment variable ZAREVIRU_INI;
//   2. ZAREVIRU.INI in the directory that holds the loaded library;
//   3. /etc/ZAREVIRU.INI.
// The file is read with the rules of Windows profile files: section and key
// names match without regard to case, blanks around keys and values are
// ignored, one pair of enclosing quotation marks is removed, and the value
// is cut to 254 characters.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/platform.h"

namespace rudid::platform {

const char kPathSeparator = '/';

namespace {

constexpr char kIniName[] = "ZAREVIRU.INI";
constexpr char kDefaultDirectory[] = "C:\\";
constexpr std::size_t kMaxValue = 254;

char *Trim(char *text) {
    while (*text == ' ' || *text == '\t') ++text;
    char *end = text + std::strlen(text);
    while (end > text && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n'))
        --end;
    *end = '\0';
    return text;
}

// Looks for key in section of an open INI file; copies its value and
// returns true on a hit.
bool FindValue(std::FILE *file, const char *section, const char *key, char *out, std::size_t size) {
    char line[4096];
    bool inSection = false;
    while (std::fgets(line, sizeof line, file)) {
        char *text = Trim(line);
        if (*text == '[') {
            char *close = std::strchr(text, ']');
            if (!close) continue;
            *close = '\0';
            inSection = strcasecmp(Trim(text + 1), section) == 0;
            continue;
        }
        if (!inSection || *text == ';') continue;
        char *equals = std::strchr(text, '=');
        if (!equals) continue;
        *equals = '\0';
        if (strcasecmp(Trim(text), key) != 0) continue;
        char *value = Trim(equals + 1);
        std::size_t length = std::strlen(value);
        if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
            value[length - 1] = '\0';
            ++value;
        }
        std::snprintf(out, size, "%.*s", int(kMaxValue), value);
        return true;
    }
    return false;
}

// Reads the value from the INI file at path. Returns false when the file
// cannot be opened (the next place is then tried); a file without the key
// gives the default.
bool ReadFrom(const char *path, char *out, std::size_t size) {
    std::FILE *file = std::fopen(path, "r");
    if (!file) return false;
    if (!FindValue(file, "STARTUP", "DIR", out, size)) std::snprintf(out, size, "%s", kDefaultDirectory);
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
