#pragma once

#include "common/real48.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// The saturation state at temperature t (degC, 0 <= t <= 374.15, which the
// caller ensures). At exactly 0 and below 0.01 degC it answers from fixed
// values without touching the table; above, from the two records of
// vevuzu.dat around t on the 1-degree grid, interpolated linearly.
SaturationState SaturationByTemperature(const TableSource &tables, Real48 t);

// The same on a widened temperature; the fields are interpolated as they
// are asked for.
SaturationPoint SaturationPointByTemperature(const TableSource &tables, Extended t);

}  // namespace rudid
