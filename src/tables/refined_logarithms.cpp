#include "tables/refined_logarithms.h"

#include <cmath>

#include "platform/platform.h"

namespace rudid {

namespace {

// Under the library's own arithmetic, whatever the host's words are when
// the library is loaded: the logarithms enter every refined answer.
GridLogarithms BuildGridLogarithms() {
    const platform::LibraryArithmeticScope arithmetic;
    GridLogarithms logs{};
    const SaturationPressureGrid &saturation = SaturationPressures();
    for (int k = 1; k <= kSaturationGridPoints; ++k) logs.saturation[k] = std::log(Extended(saturation.value[k]));
    const SinglePhasePressureGrid &single = SinglePhasePressures();
    for (int k = 1; k <= kSinglePhaseGridPoints; ++k) logs.singlePhase[k] = std::log(Extended(single.point[k]));
    return logs;
}

}  // namespace

const GridLogarithms &PressureGridLogarithms() {
    static const GridLogarithms logs = BuildGridLogarithms();
    return logs;
}

namespace {

// Built when the library is loaded, like the grids, and only read after.
const GridLogarithms &gGridLogarithms = PressureGridLogarithms();

}  // namespace

}  // namespace rudid
