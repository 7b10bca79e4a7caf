#include "support/test_files.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace rudid::testing {

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rudid-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a scratch directory");
    path_ = buffer.data();
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void ScratchDirectory::write(const std::string &name, const std::vector<std::uint8_t> &bytes) const {
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file(name));
}

void ScratchDirectory::write(const std::string &name, const std::string &text) const {
    write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void AppendSingles(std::vector<std::uint8_t> &bytes, std::initializer_list<float> values) {
    for (float value : values) {
        std::uint8_t raw[4];
        std::memcpy(raw, &value, 4);
        bytes.insert(bytes.end(), raw, raw + 4);
    }
}

namespace {

// A made-up but self-consistent water: saturation temperature rising with
// pressure, liquid and vapour properties that meet the saturated values on
// the saturation line, everything rising with temperature along an isobar.
double SaturationTemperature(double p) { return 374.15 * std::pow(p / 221.2, 0.25); }
double SaturationPressure(double t) { return 221.2 * std::pow(t / 374.15, 4.0); }

double LiquidVolume(double t) { return 0.001 + 1e-6 * t; }
double LiquidEnthalpy(double t) { return 4.2 * t; }
double LiquidEntropy(double t) { return 0.012 * t; }
// The made-up saturation pressure is 0 at 0 degC; the volume stays finite.
double VapourVolume(double p, double t) { return 4.6e-3 * (t + 273.15) / std::max(p, 0.006); }
double VapourEnthalpy(double p, double t) { return 2500 + 2 * t - 0.1 * p; }
double VapourEntropy(double p, double t) { return 9 - 0.01 * p + 0.002 * t; }

void AppendSaturation(std::vector<std::uint8_t> &bytes, double level, double p, double t) {
    AppendSingles(bytes, {float(level), float(LiquidVolume(t)), float(VapourVolume(p, t)),
                          float(LiquidEnthalpy(t)), float(VapourEnthalpy(p, t)),
                          float(LiquidEntropy(t)), float(VapourEntropy(p, t))});
}

double SaturationGridPoint(int k) {
    struct Segment { int last, k0; double start, step; };
    static const Segment segments[] = {{19, 0, 0.005, 0.005}, {39, 19, 0.1, 0.01},  {44, 39, 0.3, 0.02},
                                       {56, 44, 0.4, 0.05},   {96, 56, 1, 0.1},     {121, 96, 5, 0.2},
                                       {161, 121, 10, 0.5},   {231, 161, 30, 1},    {291, 231, 100, 2}};
    for (const Segment &s : segments)
        if (k <= s.last) return (k - s.k0) * s.step + s.start;
    return 221.2;
}

double SinglePhaseGridPoint(int k) {
    struct Segment { int last, k0; double start, step; };
    static const Segment segments[] = {{10, 0, 0, 0.01},    {30, 10, 0.1, 0.02},   {40, 30, 0.5, 0.05},
                                       {60, 40, 1, 0.1},    {70, 60, 3, 0.2},      {100, 70, 5, 0.5},
                                       {130, 100, 20, 1},   {155, 130, 50, 2},     {175, 155, 100, 5},
                                       {205, 175, 200, 10}, {220, 205, 500, 20},   {224, 220, 800, 50}};
    for (const Segment &s : segments)
        if (k <= s.last) return (k - s.k0) * s.step + s.start;
    return 1000;
}

}  // namespace

std::vector<std::uint8_t> SaturationByPressureTable(int records) {
    std::vector<std::uint8_t> bytes;
    for (int k = 1; k <= records; ++k) {
        const double p = SaturationGridPoint(k);
        const double t = SaturationTemperature(p);
        AppendSaturation(bytes, t, p, t);
    }
    return bytes;
}

std::vector<std::uint8_t> SaturationByTemperatureTable(int records) {
    std::vector<std::uint8_t> bytes(28, 0);  // record 0 is never read
    for (int r = 1; r < records; ++r) {
        const double t = r == 376 ? 374.15 : r - 1;
        const double p = SaturationPressure(t);
        AppendSaturation(bytes, p, p, t);
    }
    return bytes;
}

std::vector<std::uint8_t> SinglePhaseTable(int isobars) {
    std::vector<std::uint8_t> bytes;
    for (int i = 1; i <= isobars; ++i) {
        const double p = SinglePhaseGridPoint(i);
        const double ts = p <= 221.2 ? SaturationTemperature(p) : -1;
        for (int j = 0; j <= 80; ++j) {
            const double t = 10.0 * j;
            if (p > 221.2)
                AppendSingles(bytes, {float(0.001 + 1e-5 * t), float(800 + 2 * t), float(1 + 0.005 * t)});
            else if (t < ts)
                AppendSingles(bytes, {float(LiquidVolume(t)), float(LiquidEnthalpy(t)), float(LiquidEntropy(t))});
            else
                AppendSingles(bytes, {float(VapourVolume(p, t)), float(VapourEnthalpy(p, t)),
                                      float(VapourEntropy(p, t))});
        }
    }
    return bytes;
}

std::vector<std::uint8_t> SinglePhaseTableVaryingAboveCritical(int isobars) {
    std::vector<std::uint8_t> bytes = SinglePhaseTable(isobars);
    for (int i = 1; i <= isobars; ++i) {
        const double p = SinglePhaseGridPoint(i);
        if (p <= 221.2) continue;
        std::vector<std::uint8_t> isobar;
        for (int j = 0; j <= 80; ++j) {
            const double t = 10.0 * j;
            AppendSingles(isobar, {float(0.001 + 1e-5 * t - 5e-7 * p), float(800 + 2 * t - 0.1 * p),
                                   float(1 + 0.005 * t - 1e-4 * p)});
        }
        std::copy(isobar.begin(), isobar.end(), bytes.begin() + std::ptrdiff_t(i - 1) * 972);
    }
    return bytes;
}

std::vector<std::uint8_t> SaturationByPressureTableWithCriticalPoint() {
    std::vector<std::uint8_t> bytes = SaturationByPressureTable(291);
    AppendSingles(bytes, {374.15f, 0.00317f, 0.00317f, 2107.4f, 2107.4f, 4.4429f, 4.4429f});
    return bytes;
}

float SingleAt(const std::vector<std::uint8_t> &bytes, std::size_t index) {
    if (4 * index + 4 > bytes.size()) throw std::out_of_range("no such single in the table");
    float value;
    std::memcpy(&value, bytes.data() + 4 * index, 4);
    return value;
}

}  // namespace rudid::testing
