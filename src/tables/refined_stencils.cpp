#include "tables/refined_stencils.h"

#include "platform/platform.h"

namespace rudid {

namespace {

// The temperature (degC) of record r of the table by temperature, r >= 1:
// whole degrees, the last record the critical point.
Extended TemperatureOfRecord(int r) {
    return r == kSaturationTemperatureRecords - 1 ? Real48ToExtended(kLastRecordTemperature) : Extended(r - 1);
}

// 1 / prod over j != i of (xs[i] - xs[j]) for the four nodes from xs.
void Scales(const Extended *xs, Extended *scale) {
    for (int i = 0; i < kStencilNodes; ++i) {
        Extended denominator = 1;
        for (int j = 0; j < kStencilNodes; ++j)
            if (j != i) denominator *= xs[i] - xs[j];
        scale[i] = 1 / denominator;
    }
}

}  // namespace

SaturationStencils BuildSaturationStencils() {
    const platform::LibraryArithmeticScope arithmetic;
    SaturationStencils stencils{};
    const Extended *logs = SaturationPressures().logValue + 1;  // of record 0
    for (int first = 0; first < kPressureStencils; ++first) Scales(logs + first, stencils.pressureScale[first]);
    for (int r = 1; r < kSaturationTemperatureRecords; ++r)
        stencils.inverseTemperature[r] = 1 / (TemperatureOfRecord(r) + kCelsiusZero);
    for (int first = 1; first < kTemperatureStencils; ++first)
        Scales(stencils.inverseTemperature + first, stencils.temperatureScale[first]);
    const SinglePhasePressureGrid &isobars = SinglePhasePressures();
    for (int k = 2; k <= kSinglePhaseGridPoints; ++k)
        stencils.inverseIsobarSpacing[k] = 1 / (Extended(isobars.point[k]) - Extended(isobars.point[k - 1]));
    return stencils;
}

namespace {

// Built when the library is loaded, like the grids, and only read after.
const SaturationStencils &gStencils = RefinedStencils();

}  // namespace

}  // namespace rudid
