// The two pressure grids of the tables, in bar. Both are fixed by their
// segments (start, step); each point is computed in extended precision as
// (k - k0) * step + start and rounded once, which gives the nearest value to
// the decimal grid point in every case.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/constants.h"

namespace rudid {

// Saturation table by pressure: 292 points from 0.01 to 221.2 bar, held as
// Real48, indexed 1 to 292 (index 0 unused).
struct SaturationPressureGrid {
    Real48 point[kSaturationGridPoints + 1];
    // The same points widened; a double holds every Real48 exactly and
    // enters the arithmetic faster than an extended value.
    double value[kSaturationGridPoints + 1];
    // Their natural logarithms in extended precision, for the state flags'
    // estimates of the bend along pressure.
    Extended logValue[kSaturationGridPoints + 1];
    // For the interval from point k - 1 to point k (k >= 2): the logarithms
    // of the pressures a quarter and three quarters of the way, where those
    // estimates look.
    Extended quarterLog[kSaturationGridPoints + 1][2];
};
// The grid as built from its segments; SaturationPressures() holds it,
// inline, as the lookups ask for it on every row.
SaturationPressureGrid BuildSaturationGrid();
inline const SaturationPressureGrid &SaturationPressures() {
    static const SaturationPressureGrid grid = BuildSaturationGrid();
    return grid;
}

// Single-phase table: 224 points from 0.01 to 1000 bar, held as singles,
// indexed 1 to 224 (index 0 unused).
struct SinglePhasePressureGrid {
    float point[kSinglePhaseGridPoints + 1];
    Extended logPoint[kSinglePhaseGridPoints + 1];         // as logValue above
    Extended quarterLog[kSinglePhaseGridPoints + 1][2];  // as quarterLog above
};
SinglePhasePressureGrid BuildSinglePhaseGrid();
inline const SinglePhasePressureGrid &SinglePhasePressures() {
    static const SinglePhasePressureGrid grid = BuildSinglePhaseGrid();
    return grid;
}

// The first index k, going up from 1, whose point exceeds p exactly; the last
// index when no point does.
int FirstSaturationPointAbove(Extended p);
int FirstSinglePhasePointAbove(Extended p);

// Pressures grouped by the bits of their doubles, for tables kept per group
// of pressures: a group holds the doubles that share an exponent and the top
// six bits of the fraction (64 groups to an octave), numbered from 0 at
// 2^-7, below 0.01 bar.
constexpr int kPressureGroupsPerOctave = 64;
namespace pressure_group_detail {
constexpr int kShift = 52 - 6;
constexpr std::uint64_t kFirstKey = std::uint64_t(1023 - 7) << 6;
}  // namespace pressure_group_detail

// The lowest double of a group.
inline double PressureGroupLow(int group) {
    using namespace pressure_group_detail;
    const std::uint64_t bits = (kFirstKey + std::uint64_t(group)) << kShift;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The group of a double of 2^-7 or more (finite).
inline int PressureGroupOf(double p) {
    using namespace pressure_group_detail;
    std::uint64_t bits;
    std::memcpy(&bits, &p, sizeof bits);
    return int((bits >> kShift) - kFirstKey);
}

}  // namespace rudid
