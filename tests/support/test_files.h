// Scratch directories and small table files for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rudid::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const std::string &path() const { return path_; }
    // The directory with a trailing '/', as a data directory prefix.
    std::string prefix() const { return path_ + "/"; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    void write(const std::string &name, const std::vector<std::uint8_t> &bytes) const;
    void write(const std::string &name, const std::string &text) const;

private:
    std::string path_;
};

// Appends singles to a byte buffer, little-endian.
void AppendSingles(std::vector<std::uint8_t> &bytes, std::initializer_list<float> values);

// Synthetic tables with simple, known contents (see test_files.cpp): every
// value a function of the grid point, so a test can predict what a lookup
// reads. `records` limits the file length to cut it short.
std::vector<std::uint8_t> SaturationByPressureTable(int records = 292);
std::vector<std::uint8_t> SaturationByTemperatureTable(int records = 377);
std::vector<std::uint8_t> SinglePhaseTable(int isobars = 224);

}  // namespace rudid::testing
