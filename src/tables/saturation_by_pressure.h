// The saturation state by pressure, from zarude.dat.
#pragma once

#include "common/real48.h"
#include "tables/pressure_grids.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// The saturation state at pressure p (bar, 0.01 <= p <= 221.2, a Real48
// value, which the caller ensures): the two records of the table around p,
// interpolated linearly in pressure as the fields are asked for. Raises the
// input/output failure of the table. Inline: most rows of a batch ask it.
inline SaturationPoint SaturationAtPressure(const TableSource &tables, Extended p) {
    const SaturationPressureGrid &grid = SaturationPressures();
    // Point 1 lies just above the extended 0.01, and no Real48 lies between
    // the two, so k >= 2 for every pressure the callers let through. At the
    // last point (221.2) no point lies above and k stays 292: the bracket is
    // then the last two records, and p gives the last record exactly.
    const int k = FirstSaturationPointAbove(p);
    return SaturationPoint(tables, Table::SaturationOnPressureGrid, std::uint64_t(k - 2) * kSaturationRecordSize, p,
                           grid.value[k - 1], grid.value[k]);
}

}  // namespace rudid
