// Arbitrary ZAREVIRU.INI text and default.cfg bytes through start-up, with
// the library's code linked in. The INI text must give the value that a
// plain reading of the profile rules gives (below); the default.cfg bytes
// must become the unit selections word for word, with the start-up message
// set exactly when the file is short; and every export must then answer or
// fail by the properties of fuzz_checks.h under whatever units the bytes
// select.
#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/startup.h"
#include "fuzz_checks.h"
#include "platform/platform.h"
#include "support/test_files.h"

namespace {

using namespace rudid::fuzzing;

rudid::testing::ScratchDirectory &Scratch() {
    static rudid::testing::ScratchDirectory scratch;
    return scratch;
}

#define RUDID_FUZZ_ADDRESS(name, ...) reinterpret_cast<void *>(&::name),
#define RUDID_FUZZ_VB_ADDRESS(name, ...) reinterpret_cast<void *>(&::RudidVb##name),
const LibraryFunctions kLinked = {{RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_ADDRESS)},
                                   RudidEvaluate,
                                   RudidLastError,
                                   RudidEvaluateRefined,
                                   {RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_VB_ADDRESS)},
                                   RudidVbMessage,
                                   RudidEvaluateWithFlags,
                                   RudidStateFlags};
#undef RUDID_FUZZ_VB_ADDRESS
#undef RUDID_FUZZ_ADDRESS

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && Blank(text[begin])) ++begin;
    while (end > begin && Blank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string Upper(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// A file that begins with a UTF-16 byte-order mark as UTF-8, through
// iconv; no text when it holds a surrogate without its pair (the reader
// makes that "?").
std::optional<std::string> Utf8Text(const std::string &file) {
    if (file.rfind("\xFF\xFE", 0) != 0 && file.rfind("\xFE\xFF", 0) != 0) return file;
    iconv_t converter = iconv_open("UTF-8", "UTF-16");  // takes the byte order from the mark
    std::string in = file.substr(0, file.size() & ~std::size_t(1)), out(2 * in.size() + 8, '\0');
    char *from = in.data(), *to = out.data();
    std::size_t left = in.size(), room = out.size();
    const bool converted = iconv(converter, &from, &left, &to, &room) != std::size_t(-1);
    iconv_close(converter);
    if (!converted) return std::nullopt;
    out.resize(out.size() - room);
    return out;
}

// The DIR value of a profile text by the rules, read the simple way: the
// whole text split into lines first. Only the first STARTUP section counts,
// and its first line naming DIR decides (without "=": the default).
std::string ExpectedValue(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (text[i] == '\r' || text[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += text[i];
    }
    bool inSection = false, sectionSeen = false;
    for (const std::string &raw : lines) {
        const std::string line = Trimmed(raw);
        if (!line.empty() && line[0] == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string::npos) continue;
            inSection = !sectionSeen && Upper(Trimmed(line.substr(1, close - 1))) == "STARTUP";
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection || line.empty() || line[0] == ';') continue;
        const std::size_t equals = line.find('=');
        if (Upper(Trimmed(line.substr(0, equals))) != "DIR") continue;
        if (equals == std::string::npos) break;
        std::string value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        value = value.substr(0, 254);
        return value.substr(0, value.find('\0'));
    }
    return "C:\\";
}

void Write(const std::string &name, const std::string &text) { Scratch().write(name, text); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    for (const char *table : {"zarude.dat", "vevuzu.dat", "didizar.dat"})
        std::filesystem::create_symlink(std::string(RUDID_DATA_DIRECTORY) + "/" + table, Scratch().file(table));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::vector<std::uint8_t> unitFile = data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange(0, 70));
    const int index = data.ConsumeIntegralInRange(0, kExportCount - 1);
    const std::uint16_t word = HostControlWord(data);
    const double a = data.ConsumeIntegralInRange(0, 4000) / 4.0;
    const double b = data.ConsumeIntegralInRange(0, 4000) / 4.0;
    const std::string iniText = data.ConsumeRemainingBytesAsString();

    // The INI text alone.
    Write("fuzz.ini", iniText);
    ::setenv("ZAREVIRU_INI", Scratch().file("fuzz.ini").c_str(), 1);
    char value[256];
    std::memset(value, 'x', sizeof value);
    rudid::platform::ReadStartupDirectoryValue(value, sizeof value);
    FUZZ_CHECK(std::memchr(value, '\0', sizeof value) != nullptr, "the value is not terminated");
    if (const std::optional<std::string> text = Utf8Text(iniText))
        FUZZ_CHECK(value == ExpectedValue(*text),
                   "the INI text gave \"" + std::string(value) + "\", not \"" + ExpectedValue(*text) + "\"");

    // CACHE read from the same text as a whole number: any text, no crash.
    (void)rudid::platform::ReadStartupIntegerValue("CACHE", 0);

    // default.cfg through start-up, into the configuration the exports use.
    Scratch().write("default.cfg", unitFile);
    Write("data.ini", "[STARTUP]\nDIR=" + Scratch().path() + "\n");
    ::setenv("ZAREVIRU_INI", Scratch().file("data.ini").c_str(), 1);
    rudid::LoadStartupConfiguration();
    const rudid::StartupConfiguration &startup = rudid::Startup();
    FUZZ_CHECK(startup.dataDirectory == Scratch().prefix(), "wrong data directory");
    std::uint16_t words[rudid::kUnitSelectionWordCount] = {};
    for (std::size_t i = 0; i < std::min<std::size_t>(unitFile.size(), 62); ++i)
        words[i / 2] = std::uint16_t(words[i / 2] | (unitFile[i] << (i % 2 ? 8 : 0)));
    FUZZ_CHECK(std::memcmp(words, startup.unitSelections, sizeof words) == 0,
               "the unit selections are not the words of default.cfg");
    FUZZ_CHECK((startup.startupMessage[0] != '\0') == (unitFile.size() < 62),
               "the start-up message does not tell a short default.cfg");

    const Outcome single = CheckedCall(kLinked, index, a, b, word);
    CheckBatchRow(kLinked, index, a, b, single, word);
    return 0;
}
