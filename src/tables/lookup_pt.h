#pragma once

#include "common/real48.h"
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

// The same on widened values, for a caller that needs only some of the
// outputs (a mask of kWantVolume, kWantEnthalpy, kWantEntropy). The others
// are left unset when computing them could not change the outcome, that is
// when no value involved can make an interpolation fail.
struct SinglePhaseValues {
    Extended volume;
    Extended enthalpy;
    Extended entropy;
};
enum : unsigned { kWantVolume = 1, kWantEnthalpy = 2, kWantEntropy = 4, kWantAllProperties = 7 };
int LookupPTValues(const TableSource &tables, Extended p, Extended t, unsigned wanted,
                   SinglePhaseValues *state);

}  // namespace rudid
