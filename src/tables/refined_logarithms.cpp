#include "tables/refined_logarithms.h"

#include <cmath>

namespace rudid {

namespace {

GridLogarithms BuildGridLogarithms() {
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

}  // namespace rudid
