// The saturation state by pressure, from zarude.dat.
#pragma once

#include "common/real48.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// The saturation state at pressure p (bar, 0.01 <= p <= 221.2, a Real48
// value, which the caller ensures): the two records of the table around p,
// interpolated linearly in pressure as the fields are asked for. Raises the
// input/output failure of the table.
SaturationPoint SaturationAtPressure(const TableSource &tables, Extended p);

}  // namespace rudid
