// Where the library finds ZAREVIRU.INI on a system without private-profile
// services, and how it reads the values it needs (the data directory, and
// whether the tables are kept in memory). First hit wins:
//   1. the file named by the environment variable ZAREVIRU_INI;
//   2. ZAREVIRU.INI in the directory that holds the loaded library;
//   3. /etc/ZAREVIRU.INI.
// Only a regular file counts (a FIFO or a device there is as good as
// missing), and it is read whole only up to 1 MiB: a larger one gives the
// default. The text is read as Windows reads profile files: UTF-16 after a
// UTF-16 byte-order mark, otherwise bytes with an optional UTF-8 byte-order
// mark; lines of any length ending in LF, CR or CR LF; section and key
// names that match without regard to case; blanks around keys and values
// ignored; one pair of enclosing quotation marks removed; only the first
// section of a name searched, and the first line naming the key deciding
// (without "=" it has no value: the default); the value cut to 254
// characters.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"

namespace rudid::platform {

const char kPathSeparator = '/';

namespace {

constexpr char kIniName[] = "ZAREVIRU.INI";
constexpr char kDefaultDirectory[] = "C:\\";
constexpr std::size_t kMaxValue = 254;
// An INI file that holds one value is a few hundred bytes; a larger file
// than this is not one, and is not read into memory.
constexpr std::size_t kLargestIniFile = 1 << 20;

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

// The next line of text, without its end: LF, CR or CR LF. False when no
// character is left.
bool NextLine(std::string_view &text, std::string_view &line) {
    if (text.empty()) return false;
    const std::size_t end = text.find_first_of("\r\n");
    line = text.substr(0, end);
    if (end == std::string_view::npos) {
        text = {};
        return true;
    }
    const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    text.remove_prefix(end + (crLf ? 2 : 1));
    return true;
}

// Looks for key in section of an INI file's text; copies the value and
// returns true on a hit. As in Windows, only the first section of the name
// is searched, and the first line of the key decides: a line that names
// the key without "=" gives it no value, and the default is then used. A
// UTF-8 byte-order mark at the start of the file is skipped.
bool FindValue(std::string_view file, std::string_view section, std::string_view key, char *out,
               std::size_t size) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (file.substr(0, kByteOrderMark.size()) == kByteOrderMark) file.remove_prefix(kByteOrderMark.size());
    std::string_view text;
    bool inSection = false;
    while (NextLine(file, text)) {
        text = Trim(text);
        if (!text.empty() && text.front() == '[') {
            const std::size_t close = text.find(']');
            if (close == std::string_view::npos) continue;
            if (inSection) return false;  // the end of the first such section
            inSection = EqualIgnoringCase(Trim(text.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection || (!text.empty() && text.front() == ';')) continue;
        const std::size_t equals = text.find('=');
        if (!EqualIgnoringCase(Trim(text.substr(0, equals)), key)) continue;
        if (equals == std::string_view::npos) return false;
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

void AppendUtf8(std::string &out, std::uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The text of a file that begins with a UTF-16 byte-order mark (either
// byte order), as UTF-8: Windows reads such a file as UTF-16, and a path on
// Linux is UTF-8. A surrogate without its pair becomes "?", as Windows
// makes of a character its narrow text cannot hold. Any other file is
// returned as it is.
std::string TextOfFile(std::string bytes) {
    const bool little = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    const bool big = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
    if (!little && !big) return bytes;
    const auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto a = std::uint8_t(bytes[i]), b = std::uint8_t(bytes[i + 1]);
        return little ? std::uint32_t(a | b << 8) : std::uint32_t(a << 8 | b);
    };
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = '?';
        }
        AppendUtf8(text, c);
    }
    return text;
}

enum class IniFile { Missing, TooLarge, Read };

// Reads the whole INI file at path into text. Only a regular file counts:
// a FIFO, a device or a directory is as good as missing (it is opened
// without blocking, so a FIFO with no writer cannot hold up the load). A
// file larger than any INI file of one value would be is not read at all.
IniFile ReadWholeFile(const char *path, std::string &text) {
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return IniFile::Missing;
    struct stat info;
    IniFile result = IniFile::Read;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        result = IniFile::Missing;
    else if (info.st_size > off_t(kLargestIniFile))
        result = IniFile::TooLarge;
    // The file may grow while it is read: never hold more than the bound.
    char block[4096];
    while (result == IniFile::Read) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // an error reading ends the text as the end of the file would
        if (text.size() + std::size_t(got) > kLargestIniFile)
            result = IniFile::TooLarge;
        else
            text.append(block, std::size_t(got));
    }
    ::close(fd);
    return result;
}

// Reads key's value from the INI file at path. Returns false when there is
// no INI file there (the next place is then tried); a file without the key,
// or too large to be one, gives fallback.
bool ReadFrom(const char *path, const char *key, const char *fallback, char *out, std::size_t size) {
    bool found = false;
    try {
        std::string text;
        const IniFile file = ReadWholeFile(path, text);
        if (file == IniFile::Missing) return false;
        found = file == IniFile::Read && FindValue(TextOfFile(std::move(text)), "STARTUP", key, out, size);
    } catch (const std::bad_alloc &) {
        // No memory for the file's text: start-up goes on with the default.
    }
    if (!found) std::snprintf(out, size, "%s", fallback);
    return true;
}

bool ReadBesideLibrary(const char *key, const char *fallback, char *out, std::size_t size) {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&ReadStartupDirectoryValue), &info) || !info.dli_fname)
        return false;
    const char *slash = std::strrchr(info.dli_fname, '/');
    if (!slash) return false;
    char path[4096];
    const int written = std::snprintf(path, sizeof path, "%.*s/%s", int(slash - info.dli_fname),
                                      info.dli_fname, kIniName);
    if (written < 0 || std::size_t(written) >= sizeof path) return false;
    return ReadFrom(path, key, fallback, out, size);
}

// The value of key in the first INI file found, or fallback.
void ReadStartupValue(const char *key, const char *fallback, char *buffer, std::size_t size) {
    const char *named = std::getenv("ZAREVIRU_INI");
    if (named && *named && ReadFrom(named, key, fallback, buffer, size)) return;
    if (ReadBesideLibrary(key, fallback, buffer, size)) return;
    char etc[] = "/etc/ZAREVIRU.INI";
    if (ReadFrom(etc, key, fallback, buffer, size)) return;
    std::snprintf(buffer, size, "%s", fallback);
}

// A whole number as the profile services read one: leading blanks and
// control characters skipped, one sign, a base prefix 0b, 0o or 0x, then
// the digits of that base up to the first character that is not one, in
// 32-bit unsigned arithmetic.
int ProfileInteger(const char *text) {
    while (*text && static_cast<unsigned char>(*text) <= ' ') ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    unsigned base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'o' || text[1] == 'b')) {
        base = text[1] == 'x' ? 16 : text[1] == 'o' ? 8 : 2;
        text += 2;
    }
    std::uint32_t value = 0;
    for (;; ++text) {
        const int c = std::tolower(static_cast<unsigned char>(*text));
        const unsigned digit = std::isdigit(c) ? unsigned(c - '0') : c >= 'a' && c <= 'z' ? unsigned(c - 'a' + 10) : 99u;
        if (digit >= base) break;
        value = value * base + digit;
    }
    return int(negative ? 0u - value : value);
}

}  // namespace

void ReadStartupDirectoryValue(char *buffer, std::size_t size) {
    ReadStartupValue("DIR", kDefaultDirectory, buffer, size);
}

int ReadStartupIntegerValue(const char *key, int defaultValue) {
    char text[kMaxValue + 2];
    ReadStartupValue(key, "", text, sizeof text);
    return text[0] ? ProfileInteger(text) : defaultValue;
}

}  // namespace rudid::platform
