#include "unit_file.h"

#include <cstdlib>

#include "bounded_file.h"
#include "rudid32.h"

namespace rudid::cli {

namespace {

constexpr std::size_t kUnitFileSize = 2 * kSelectionWordCount;  // 62 bytes
// A unit file is 62 bytes; anything this large is not one.
constexpr std::size_t kLargestUnitFile = 1 << 20;

}  // namespace

std::string UnitFilePath() {
    const char *directory = RudidDataDirectory();
    return std::string(directory ? directory : "") + "default.cfg";
}

bool ReadUnitFile(const std::string &path, UnitFile *file, std::string *error) {
    file->path = path;
    file->exists = false;
    file->bytes.clear();
    std::string bytes;
    switch (ReadBoundedFile(path, kLargestUnitFile, &bytes, error)) {
        case FileRead::Missing: return true;
        case FileRead::Refused: *error += " (not a unit configuration file)"; return false;
        case FileRead::Read: break;
    }
    file->bytes.assign(bytes.begin(), bytes.end());
    file->exists = true;
    return true;
}

SelectionWords SelectionsOf(const std::vector<std::uint8_t> &bytes) {
    SelectionWords words{};
    const std::size_t count = bytes.size() < kUnitFileSize ? bytes.size() : kUnitFileSize;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t word = std::uint16_t(words[i / 2]);
        words[i / 2] = std::int16_t(word | std::uint16_t(bytes[i] << (i % 2 ? 8 : 0)));
    }
    return words;
}

void StoreSelection(std::vector<std::uint8_t> *bytes, int word, std::int16_t value) {
    if (bytes->size() < kUnitFileSize) bytes->resize(kUnitFileSize, 0);
    const std::uint16_t bits = std::uint16_t(value);
    (*bytes)[2 * word] = std::uint8_t(bits & 0xFF);
    (*bytes)[2 * word + 1] = std::uint8_t(bits >> 8);
}

}  // namespace rudid::cli
