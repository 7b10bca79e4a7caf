#include "config/startup.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "units/unit_recognition.h"

namespace rudid {

namespace {

StartupConfiguration gStartup;  // written once, by LoadStartupConfiguration

constexpr char kUnitFileName[] = "default.cfg";
constexpr char kUnitFileMessage[] =
    "File is corrupt or missing! \"default.cfg\" is corrupt or missing!";
constexpr int kUnitFileSize = 2 * kUnitSelectionWordCount;  // 62 bytes; more is ignored

// Reads the selection words in file order. A short file fills the words it
// covers (a trailing odd byte lands in the low-order byte of its word) and
// leaves the rest at zero. Returns whether every word was read.
bool ReadUnitSelections(const char *path, std::int16_t *words) {
    platform::FileHandle file{};
    if (platform::OpenForReading(path, &file) != 0) return false;
    std::uint8_t bytes[kUnitFileSize] = {};
    std::size_t got = 0;
    const int readCode = platform::ReadAt(file, 0, bytes, sizeof bytes, &got);
    const int closeCode = platform::CloseFile(file);
    if (readCode != 0) got = 0;
    for (std::size_t i = 0; i < got; ++i) {
        const std::uint16_t word = std::uint16_t(words[i / 2]);
        const std::uint16_t shifted = std::uint16_t(bytes[i]) << (i % 2 ? 8 : 0);
        words[i / 2] = std::int16_t(word | shifted);
    }
    return readCode == 0 && closeCode == 0 && got == sizeof bytes;
}

}  // namespace

// Recognition compares names and copies six-byte factors from constant
// tables, and a factor becomes a double by moving its bits: no arithmetic,
// so the result cannot depend on the host's floating-point environment.
void ResolveConfiguredUnits(StartupConfiguration *configuration) {
    for (int q = 0; q < kQuantityCodeCount; ++q) {
        const char *name = UnitNameFor(QuantityCode(q), configuration->unitSelections);
        const std::optional<UnitFactor> factor = name ? RecogniseUnit(QuantityCode(q), name) : std::nullopt;
        configuration->unitName[q] = name ? name : "";
        configuration->unitFactor[q] = factor.value_or(UnitFactor{});
        configuration->unitFactorValue[q] = Real48ToDouble(configuration->unitFactor[q]);
        configuration->unitRecognised[q] = factor.has_value();
    }
}

void LoadConfiguration(const char *directoryValue, StartupConfiguration *configuration) {
    // A short file leaves the words it does not reach at zero.
    for (std::int16_t &word : configuration->unitSelections) word = 0;
    configuration->startupMessage[0] = '\0';
    configuration->cacheTables = false;
    std::snprintf(configuration->dataDirectory, sizeof configuration->dataDirectory, "%s%c",
                  directoryValue, platform::kPathSeparator);

    char path[sizeof configuration->dataDirectory + sizeof kUnitFileName];
    std::snprintf(path, sizeof path, "%s%s", configuration->dataDirectory, kUnitFileName);
    if (!ReadUnitSelections(path, configuration->unitSelections))
        std::snprintf(configuration->startupMessage, sizeof configuration->startupMessage, "%s",
                      kUnitFileMessage);
    ResolveConfiguredUnits(configuration);
}

void LoadStartupConfiguration() {
    char value[256];
    platform::ReadStartupDirectoryValue(value, sizeof value);
    LoadConfiguration(value, &gStartup);
    gStartup.cacheTables = platform::ReadStartupIntegerValue("CACHE", 0) == 1;
}

const StartupConfiguration &Startup() { return gStartup; }

// The platform's load hook lands here.
void platform::LibraryLoaded() { LoadStartupConfiguration(); }

}  // namespace rudid
