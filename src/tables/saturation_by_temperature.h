// The saturation state by temperature, from vevuzu.dat.
#pragma once

#include "common/constants.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// Record n + 1 of the table (of kSaturationTemperatureRecords) holds n
// degC, from 0 to 374, and the critical point follows.
// The last record holds the critical point: the Real48 nearest to
// 374.15 degC.
constexpr Real48 kLastRecordTemperature = {{0x89, 0x33, 0x33, 0x33, 0x13, 0x3B}};

// The saturation state at temperature t (degC, 0 <= t <= 374.15, a Real48
// value, which the caller ensures). At exactly 0 and below 0.01 degC it
// answers from fixed values without touching the table; above, from the two
// records around t on the 1-degree grid, interpolated linearly as the fields
// are asked for. Raises the input/output failure of the table.
SaturationPoint SaturationAtTemperature(const TableSource &tables, Extended t);

}  // namespace rudid
