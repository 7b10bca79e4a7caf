// The state flags of a batch's rows settled by bounds, without the exact
// estimates of state_flags.h wherever the bounds allow.
//
// Every flag stays defined by its exact estimate. A batch call works out,
// once per cell of the single-phase table (a pair of isobars and a
// temperature interval) and once per interval of the saturation records,
// conservative bounds from the same records: the largest bend across
// isobars and along temperature over the whole cell, the smallest scale
// that an answer in the cell can have, the phases of every table point the
// estimate reads, and how far the cell lies from the interpolated
// saturation line. Where those bounds decide every flag for any state of
// the cell (or of the interval), the row's flags are read from them; where
// any flag is left open, the row runs the exact estimate. The bounds are
// widened far beyond the rounding of either computation, so that a settled
// row gets the very flags that the exact estimate gives it.
//
// The bounds are worked out only from tables that the batch holds whole in
// memory, and only for records whose values are all finite and well inside
// the range of a single; anything else leaves the row to the exact estimate.
#pragma once

#include <cstddef>
#include <memory>

#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/lookup_path.h"
#include "tables/table_source.h"

namespace rudid {

// What one batch call remembers for the flags of its rows; lives as long as
// the call, never beyond (the tables' bytes cannot change meanwhile). A
// batch evaluates one export, but the memo notices a change of question and
// starts again.
class StateFlagMemo {
public:
    StateFlagMemo();
    ~StateFlagMemo();
    StateFlagMemo(const StateFlagMemo &) = delete;
    StateFlagMemo &operator=(const StateFlagMemo &) = delete;

    // Rows whose flags the bounds settled, and rows left to the exact
    // estimate.
    std::size_t settledRows = 0;
    std::size_t exactRows = 0;

    struct Facts;
    std::unique_ptr<Facts> facts;
};

// The saturation temperature at the pressure of isobar j (below the
// critical pressure), where the memo has worked it out, exactly as the
// estimate works it out; false where it has not.
bool KnownIsobarSaturation(const StateFlagMemo &memo, int j, Extended *temperature);

// Each returns true with the row's flags where the bounds settle all of
// them, false where the exact estimate (with the same arguments) must run.
// The arguments are those of the exact estimates (taken by reference: most
// rows never read them); none raises.
bool SettledPressureTemperatureFlags(StateFlagMemo &memo, const TableSource &tables, int column, const Extended &p,
                                     const Extended &t, const LookupPath &path, unsigned *flags);
bool SettledInverseFlags(StateFlagMemo &memo, const TableSource &tables, InverseKey key, int output,
                         const LookupPath &path, unsigned *flags);
bool SettledSaturationFlags(StateFlagMemo &memo, const TableSource &tables, const Extended &level, int field,
                            const Extended &quality, unsigned *flags);

}  // namespace rudid
