// Natural logarithms of the tables' pressure grids, which the refined
// answers interpolate along. Computed once, when the library is loaded,
// under the library's own arithmetic environment, and only read after.
#pragma once

#include "common/real48.h"
#include "tables/pressure_grids.h"

namespace rudid {

struct GridLogarithms {
    Extended saturation[kSaturationGridPoints + 1];   // ln of SaturationPressures().value[k]
    Extended singlePhase[kSinglePhaseGridPoints + 1];  // ln of SinglePhasePressures().point[k]
};

const GridLogarithms &PressureGridLogarithms();

}  // namespace rudid
