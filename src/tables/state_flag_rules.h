// The thresholds of the state flags, the scales their estimates are
// measured against and the columns an inverse answer is read from, shared
// by the exact estimates (state_flags.cpp) and the bounds that settle a
// batch's rows without them (state_flag_bounds.cpp).
#pragma once

#include <algorithm>
#include <cmath>

#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"

namespace rudid::flag_rules {

// Cells around the critical point: a cell that reaches into this box of
// pressure and temperature holds states whose properties change faster than
// any grid of the tables can follow.
constexpr Extended kCriticalBoxLowPressure = 200;
constexpr Extended kCriticalBoxHighPressure = 260;
constexpr Extended kCriticalBoxLowTemperature = 360;
constexpr Extended kCriticalBoxHighTemperature = 400;

// The interpolated saturation temperature is uncertain by about the bend of
// the table's temperatures between neighbouring records. States closer to
// it than this many times that bend, or than the floor, may be answered for
// the other phase.
constexpr Extended kSaturationMarginFactor = 2;
constexpr Extended kSaturationMarginFloor = 0.01L;  // degC

// The grid counts as coarse where the bend of the table's own values says
// that linear interpolation may be off by more than this share of the
// answer.
constexpr Extended kCoarseShare = 0.004L;

// How relative errors are measured: against the absolute temperature, and
// against at least 1 kJ/kg and 0.01 kJ/(kg K), where enthalpy and entropy
// pass through zero.
constexpr Extended kKelvinOffset = 273.15L;
constexpr Extended kEnthalpyScale = 1;
constexpr Extended kEntropyScale = 0.01L;

enum class Phase { Liquid, Vapour };

inline bool NearCriticalPoint(Extended p0, Extended p1, Extended t0, Extended t1) {
    return p1 >= kCriticalBoxLowPressure && p0 <= kCriticalBoxHighPressure && t1 >= kCriticalBoxLowTemperature &&
           t0 <= kCriticalBoxHighTemperature;
}

// The scale against which an error of a property of that column counts.
inline Extended ColumnScale(int column, Extended value) {
    switch (column) {
        case kEnthalpyColumn: return std::max(std::fabs(value), kEnthalpyScale);
        case kEntropyColumn: return std::max(std::fabs(value), kEntropyScale);
        default: return std::fabs(value);
    }
}

// The same for a saturation field.
inline Extended FieldScale(int field, Extended value) {
    switch (field) {
        case kSaturationLevel: return value + kKelvinOffset;
        case kLiquidEnthalpy:
        case kVapourEnthalpy: return std::max(std::fabs(value), kEnthalpyScale);
        case kLiquidEntropy:
        case kVapourEntropy: return std::max(std::fabs(value), kEntropyScale);
        default: return std::fabs(value);
    }
}

// The saturation field of the liquid for a column of the single-phase table.
inline int LiquidFieldOf(int column) {
    return column == kVolumeColumn ? kLiquidVolume : column == kEnthalpyColumn ? kLiquidEnthalpy : kLiquidEntropy;
}

// The columns of an inverse lookup's key and of its output (-1 for the
// temperature and the quality), and the saturation field of the key's
// liquid.
struct InverseColumns {
    int key, keyLiquid, output;
};

inline InverseColumns ColumnsOf(InverseKey key, int output) {
    const int keyColumn = key == InverseKey::Enthalpy  ? kEnthalpyColumn
                          : key == InverseKey::Entropy ? kEntropyColumn
                                                       : kVolumeColumn;
    // The other two properties in the order volume, enthalpy, entropy.
    int others[2], n = 0;
    for (int c : {kVolumeColumn, kEnthalpyColumn, kEntropyColumn})
        if (c != keyColumn) others[n++] = c;
    return {keyColumn, LiquidFieldOf(keyColumn), output == 1 || output == 2 ? others[output - 1] : -1};
}

}  // namespace rudid::flag_rules
