#pragma once

#include "common/real48.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// The saturation state at pressure p (bar, 0.01 <= p <= 221.2, which the
// caller ensures): the two records of zarude.dat around p, interpolated
// linearly in pressure. Raises the input/output failure of the table.
SaturationState SaturationByPressure(const TableSource &tables, Real48 p);

// The same on a widened pressure; the fields are interpolated as they are
// asked for.
SaturationPoint SaturationPointByPressure(const TableSource &tables, Extended p);

}  // namespace rudid
