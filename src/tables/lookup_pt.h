#pragma once

#include "tables/real48.h"
#include "tables/table_source.h"

namespace rudid {

struct SinglePhaseState {
    Real48 volume;
    Real48 enthalpy;
    Real48 entropy;
};

// Compressed liquid, superheated vapour or supercritical fluid at pressure p
// (bar, 0.01..1000) and temperature t (degC, 0..800), interpolated in the
// cell of didizar.dat that holds the state. Returns 0 and fills state, or 1
// when p is at most 221.2 bar and t lies within 0.001 degC of its saturation
// temperature (state untouched). Raises the tables' input/output failures.
int LookupPT(const TableSource &tables, Real48 p, Real48 t, SinglePhaseState *state);

// The same on widened values.
struct SinglePhaseValues {
    Extended volume;
    Extended enthalpy;
    Extended entropy;
};
int LookupPTValues(const TableSource &tables, Extended p, Extended t, SinglePhaseValues *state);

}  // namespace rudid
