#pragma once

#include "common/real48.h"
#include "tables/table_source.h"

namespace rudid {

// The state found from a pressure and one more property (the key).
// `second` and `third` are the two properties other than the key, in the
// order volume, enthalpy, entropy:
//   LookupPH: volume, entropy    LookupPS: volume, enthalpy
//   LookupPV: enthalpy, entropy
// quality is the vapour fraction in the two-phase region and exactly 0 or 1
// outside it.
struct InverseState {
    Real48 temperature;
    Real48 second;
    Real48 third;
    Real48 quality;
};

// Each returns 0 and fills state, or 1 when the key lies outside the table
// at that pressure (state untouched). Pressure in bar, 0.01..1000, which the
// caller ensures. Raise the tables' input/output failures.
int LookupPH(const TableSource &tables, Real48 p, Real48 h, InverseState *state);
int LookupPS(const TableSource &tables, Real48 p, Real48 s, InverseState *state);
int LookupPV(const TableSource &tables, Real48 p, Real48 v, InverseState *state);

// The routine behind the three, on widened values, for a caller that needs
// only some of the outputs (a mask of kWantTemperature, kWantSecond,
// kWantThird; the quality is always set). The others are left unset when
// computing them could not change the outcome, that is when no value
// involved can make an interpolation fail.
enum class InverseKey { Enthalpy, Entropy, Volume };
struct InverseValues {
    Extended temperature;
    Extended second;
    Extended third;
    Extended quality;
};
enum : unsigned { kWantTemperature = 1, kWantSecond = 2, kWantThird = 4, kWantAllOutputs = 7 };
int LookupInverse(const TableSource &tables, InverseKey key, Extended p, Extended k, unsigned wanted,
                  InverseValues *state);

}  // namespace rudid
