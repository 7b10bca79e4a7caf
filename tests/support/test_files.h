// Scratch directories and small table files for the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

// The single-phase table of SinglePhaseTable, except that above 221.2 bar the
// entries also fall with pressure (v by 5e-7 m3/kg, h by 0.1 kJ/kg and s by
// 1e-4 kJ/(kg K) per bar), so that results tell one supercritical isobar
// from another. At 300 bar the columns still hold the critical-point keys
// 0.00317, 2107.4 and 4.4429.
std::vector<std::uint8_t> SinglePhaseTableVaryingAboveCritical(int isobars = 224);

// SaturationByPressureTable with the last record (221.2 bar) holding the
// critical point: liquid and vapour values equal, v 0.00317, h 2107.4,
// s 4.4429, at 374.15 degC.
std::vector<std::uint8_t> SaturationByPressureTableWithCriticalPoint();

// The single at position index (counted in singles from the start) of a
// table file's bytes.
float SingleAt(const std::vector<std::uint8_t> &bytes, std::size_t index);

}  // namespace rudid::testing
