// Where an interpolated answer is poor, told from the tables themselves:
// the facts of the cell or interval the lookup used (cell_facts.h), worked
// out once from its records, and the place the lookup found for the state
// in it (lookup_path.h). Nothing here brackets, clamps or decides a phase
// again, and nothing evaluates a formulation.
#pragma once

#include <algorithm>
#include <cmath>

#include "common/constants.h"
#include "tables/inverse_lookup.h"
#include "tables/lookup_path.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"
#include "tables/table_source.h"

namespace rudid {

struct FactSource;  // cell_facts.h

enum StateFlag : unsigned {
    kMixedPhaseCell = 0x1,  // the points interpolated are of different phases
    kNearSaturation = 0x2,  // within the uncertainty of the interpolated saturation line
    kCriticalRegion = 0x4,  // in the cells around the critical point
    kCoarseGrid = 0x8,      // the table's curvature says the grid is too coarse here
};

// The scale against which an error of a value of a column of the
// single-phase table, or of a saturation field, counts.
inline Extended ColumnScale(int column, Extended value) {
    switch (column) {
        case kEnthalpyColumn: return std::max(std::fabs(value), kEnthalpyScale);
        case kEntropyColumn: return std::max(std::fabs(value), kEntropyScale);
        default: return std::fabs(value);
    }
}
inline Extended FieldScale(int field, Extended value) {
    switch (field) {
        case kSaturationLevel: return value + kCelsiusZero;
        case kLiquidEnthalpy:
        case kVapourEnthalpy: return std::max(std::fabs(value), kEnthalpyScale);
        case kLiquidEntropy:
        case kVapourEntropy: return std::max(std::fabs(value), kEntropyScale);
        default: return std::fabs(value);
    }
}

// Each takes the place that the answer's lookup filled (wantsPlace set)
// and the answer in internal units, and raises the tables' input/output
// failures for records the facts need.

// A pressure-temperature answer of the column (volume, enthalpy, entropy).
unsigned PressureTemperatureFlags(const FactSource &source, int column, const LookupPath &place, Extended value);

// An inverse answer: output 0 temperature, 1 and 2 the second and third
// property of the key (InverseValues order), 3 the quality.
unsigned InverseFlags(const FactSource &source, InverseKey key, int output, Extended k, const LookupPath &place,
                      Extended value);

// A saturation export at a pressure (byPressure) or a temperature: the
// field alone (quality < 0), or the mixture of field (liquid) and field + 1
// (vapour) at that quality; the place holds the records interpolated.
unsigned SaturationFlags(const FactSource &source, bool byPressure, Extended level, int field, Extended quality,
                         const LookupPath &place, Extended value);

}  // namespace rudid
