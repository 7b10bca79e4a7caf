// Straight-line lookups for the common rows of a batch call, on tables held
// complete in memory. Each is a second expression of a lookup's rules for
// the path most states take, with the same operations in the same order;
// anything unusual (a table not held complete, a table value that is not
// finite or not well inside the Real48 range, a cell that the saturation
// line crosses, a refusal the generic lookup would reach by another path)
// is sent back to the generic lookup, which then answers the row from the
// start.
#pragma once

#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/table_source.h"

namespace rudid {

enum class FastRow {
    Answered,  // *result holds the output
    Refused,   // the lookup refuses the state
    Generic,   // take the generic lookup
};

// LookupPT for one output column (volume, enthalpy or entropy); p and t as
// LookupPT takes them.
FastRow FastSinglePhase(const TableSource &tables, Extended p, Extended t, int column, Extended *result);

// Fields `first` and `first + 1` (or only `first` when count is 1) of the
// saturation state at pressure p or temperature t, as SaturationAtPressure
// and SaturationAtTemperature give them. Never refuses.
FastRow FastSaturationAtPressure(const TableSource &tables, Extended p, int first, int count, Extended *fields);
FastRow FastSaturationAtTemperature(const TableSource &tables, Extended t, int first, int count, Extended *fields);

// LookupInverse for one output (0 temperature, 1 second, 2 third,
// 3 quality); p and k as LookupInverse takes them. The interval of an
// isobar that straddles the saturation line is left to the generic lookup.
FastRow FastInverse(const TableSource &tables, InverseKey key, Extended p, Extended k, int output,
                    Extended *result);

}  // namespace rudid
