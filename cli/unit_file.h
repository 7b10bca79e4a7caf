// default.cfg, the unit configuration in the library's data directory: 31
// signed 16-bit little-endian words, word k selecting the unit of quantity
// code k. The library reads it once, when it is loaded.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rudid::cli {

// The file holds one word per selection; words past the 26 quantity codes
// are kept as they are.
constexpr int kSelectionWordCount = 31;

using SelectionWords = std::array<std::int16_t, kSelectionWordCount>;

struct UnitFile {
    std::string path;
    bool exists = false;
    std::vector<std::uint8_t> bytes;  // the whole file as it is
};

// RudidDataDirectory() followed by "default.cfg".
std::string UnitFilePath();

// Reads the file. A missing file is not an error (exists stays false);
// false with a message in *error when it cannot be read.
bool ReadUnitFile(const std::string &path, UnitFile *file, std::string *error);

// The selections as the library takes them from these bytes: words in file
// order; a short file fills the words it covers (a trailing odd byte is the
// low-order byte of its word) and leaves the rest zero.
SelectionWords SelectionsOf(const std::vector<std::uint8_t> &bytes);

// Stores one selection word, little-endian. A file shorter than the 31
// words is first extended with zero bytes; every other byte stays as it was.
void StoreSelection(std::vector<std::uint8_t> *bytes, int word, std::int16_t value);

}  // namespace rudid::cli
