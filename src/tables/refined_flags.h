// Where a refined answer is still poor, told from the state alone: the
// reasons that no interpolation of these tables can remove (measured
// against IAPWS-IF97 by bench/accuracy_report.py).
#pragma once

#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/refined_memory.h"

namespace rudid {

enum RefinedFlag : unsigned {
    // Around the critical point and along the supercritical ridge above it,
    // where the properties change faster than the 10 degC columns and the
    // saturation records can follow.
    kRefinedCriticalRegion = 0x4,
    // Two states share the given value: water entered by a volume near its
    // 0 degC one, liquid on both sides of the density maximum (and at the
    // lowest pressures wet steam as well), where the volume hardly changes
    // with temperature.
    kRefinedIllPosed = 0x10,
};

// A state of pressure p and temperature t (degC) in the critical region.
unsigned RefinedStateFlags(Extended p, Extended t);

// The answer of a refined saturation export at a pressure (byPressure) or
// a temperature.
unsigned RefinedSaturationFlags(bool byPressure, Extended level);

// The answer of a refined inverse export, from the state its lookup found
// (temperature and quality): that state's own reasons, and for a liquid or
// wet answer from a volume within the measured reach of the 0 degC volume
// the ill-posed reason. Raises the tables' failures.
unsigned RefinedInverseFlags(const RefinedTables &tables, InverseKey key, Extended p, Extended k,
                             const InverseValues &state);

}  // namespace rudid
