// Where the saturation records lie on the scales of the refined saturation
// line, and the denominators of the weights of every cubic through four
// neighbouring records. The grids alone fix them, so they are computed once,
// when the library is loaded, under the library's own arithmetic, and only
// read after.
#pragma once

#include "common/real48.h"
#include "tables/pressure_grids.h"
#include "tables/refined_shape.h"
#include "tables/saturation_by_temperature.h"

namespace rudid {

// The weight of a pressure between two isobars of the single-phase table
// multiplies by the reciprocal of their distance.
//
// Record r of the table by pressure lies at ln p of grid point r + 1
// (SaturationPressures().logValue[r + 1]); record r of the table by
// temperature at 1 / T, T in kelvin (inverseTemperature[r]).
//
// The cubic through records first .. first + 3 weighs record first + i by
// prod over j != i of (x - x[first + j]), times scale[first][i].
constexpr int kPressureStencils = kSaturationGridPoints - kStencilNodes + 1;
constexpr int kTemperatureStencils = kSaturationTemperatureRecords - kStencilNodes + 1;
struct SaturationStencils {
    Extended inverseTemperature[kSaturationTemperatureRecords];
    Extended pressureScale[kPressureStencils][kStencilNodes];
    Extended temperatureScale[kTemperatureStencils][kStencilNodes];
    // 1 / (point[k] - point[k - 1]) of the single-phase grid, k >= 2.
    Extended inverseIsobarSpacing[kSinglePhaseGridPoints + 1];
};

SaturationStencils BuildSaturationStencils();
inline const SaturationStencils &RefinedStencils() {
    static const SaturationStencils stencils = BuildSaturationStencils();
    return stencils;
}

}  // namespace rudid
