// Where an interpolated answer is poor, told from the tables themselves and
// from the path that the lookup takes through them: which cell or isobar
// entries it reads, the phases of those table points relative to the
// interpolated saturation line, and how strongly the table's own values
// curve around the state. Nothing here evaluates a formulation; each answer
// reads the same records as the lookup, and a few neighbours.
//
// Every function takes a state that the export answers (range tests passed,
// values in internal units) with the path that its lookup took through the
// tables (which cell or interval, which side of the saturation line), and
// raises the tables' input/output failures as the lookups do.
#pragma once

#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/lookup_path.h"
#include "tables/table_source.h"

namespace rudid {

enum StateFlag : unsigned {
    kMixedPhaseCell = 0x1,  // the points interpolated are of different phases
    kNearSaturation = 0x2,  // within the uncertainty of the interpolated saturation line
    kCriticalRegion = 0x4,  // in the cells around the critical point
    kCoarseGrid = 0x8,      // the table's curvature says the grid is too coarse here
};

// The answer of a pressure-temperature lookup for one property, the column
// of the single-phase table (volume, enthalpy or entropy).
unsigned PressureTemperatureFlags(const TableSource &tables, Extended p, Extended t, int column,
                                  const LookupPath &path);

// The answer of an inverse lookup: output 0 temperature, 1 and 2 the second
// and third property of the key (InverseValues order), 3 the quality.
unsigned InverseFlags(const TableSource &tables, InverseKey key, Extended p, Extended k, int output,
                      const LookupPath &path);

// The answer of a saturation export at a pressure (byPressure) or a
// temperature: the saturation field `field` alone (quality < 0), or the
// mixture of `field` (liquid) and `field + 1` (vapour) at that quality.
unsigned SaturationFlags(const TableSource &tables, bool byPressure, Extended level, int field,
                         Extended quality);

}  // namespace rudid
