// The state found from a pressure and one more property, the key: enthalpy,
// entropy or volume.
#pragma once

#include "common/real48.h"
#include "tables/lookup_path.h"
#include "tables/table_source.h"

namespace rudid {

enum class InverseKey { Enthalpy, Entropy, Volume };

// What distinguishes the three lookups: the key's column, the columns of
// the two other properties, and where each sits in the saturation state.
struct KeyVariant {
    int keyColumn;
    int keyLiquid, keyVapour;
    int secondColumn, secondLiquid, secondVapour;
    int thirdColumn, thirdLiquid, thirdVapour;
    // Above the critical pressure the quality says on which side of the
    // critical point's key value the state lies. No Real48 equals one of
    // these decimals, so a key is always either below or above.
    Extended criticalKey;
};

const KeyVariant &VariantOf(InverseKey key);


// `second` and `third` are the two properties other than the key, in the
// order volume, enthalpy, entropy:
//   by enthalpy: volume, entropy    by entropy: volume, enthalpy
//   by volume: enthalpy, entropy
// quality is the vapour fraction in the two-phase region and exactly 0 or 1
// outside it.
struct InverseValues {
    Extended temperature;
    Extended second;
    Extended third;
    Extended quality;
};
enum : unsigned { kWantTemperature = 1, kWantSecond = 2, kWantThird = 4, kWantAllOutputs = 7 };

// Pressure p in bar, 0.01..1000, and the key, both Real48 values, which the
// caller ensures. Returns true and fills the outputs asked for (a mask of
// kWantTemperature, kWantSecond, kWantThird; the quality is always set), or
// false when the key lies outside the table at that pressure (state
// untouched). Raises the tables' input/output failures.
//
// Outputs not asked for are left unset when computing them could not change
// the outcome, that is when no value involved can make an interpolation
// fail; otherwise all are computed in the order temperature, second, third.
//
// Decide is ExactDecisions or BoundedDecisions (lookup_path.h); path, when
// given, receives the isobars and entries used and where the state lies
// relative to the saturation line.
template <class Decide = ExactDecisions>
bool LookupInverse(const TableSource &tables, InverseKey key, Extended p, Extended k, unsigned wanted,
                   InverseValues *state, LookupPath *path = nullptr);

}  // namespace rudid
