#pragma once

#include "common/real48.h"
#include "tables/lookup_path.h"
#include "tables/table_source.h"

namespace rudid {

// The side of the saturation line a state lies on, as the lookup decided
// it; above the critical pressure there is no line.
enum class LineSide : int { Liquid = 0, Vapour = 1, AboveCritical = 2 };

struct SinglePhaseValues {
    Extended volume;
    Extended enthalpy;
    Extended entropy;
    LineSide side;  // always set when the lookup answers
};
enum : unsigned { kWantVolume = 1, kWantEnthalpy = 2, kWantEntropy = 4, kWantAllProperties = 7 };

// Compressed liquid, superheated vapour or supercritical fluid at pressure p
// (bar, 0.01..1000) and temperature t (degC, 0..800), both Real48 values,
// interpolated in the cell of didizar.dat that holds the state. Returns
// true and fills the outputs asked for (a mask of kWantVolume,
// kWantEnthalpy, kWantEntropy) and the side of the line, or false when p is
// at most 221.2 bar and t lies within 0.001 degC of its saturation
// temperature (state untouched). Raises the tables' input/output failures.
//
// Outputs not asked for are left unset when computing them could not change
// the outcome, that is when no value involved can make an interpolation
// fail; otherwise all three are computed, in the order volume, entropy,
// enthalpy, and the first that fails raises.
//
// Decide is ExactDecisions or BoundedDecisions (lookup_path.h); path, when
// given, receives the cell used and the side of the saturation line.
template <class Decide = ExactDecisions>
bool LookupPT(const TableSource &tables, Extended p, Extended t, unsigned wanted, SinglePhaseValues *state,
              LookupPath *path = nullptr);

}  // namespace rudid
