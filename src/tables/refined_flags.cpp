#include "tables/refined_flags.h"

#include "tables/refined_lookup.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// The region where refined answers still miss by more than 1 %: the
// saturation line above kSaturationCriticalPressure (or its temperature),
// and the supercritical states of the box above it.
constexpr Extended kRegionLowPressure = 200, kRegionHighPressure = 300;
constexpr Extended kRegionLowTemperature = 360, kRegionHighTemperature = 420;
constexpr Extended kSaturationCriticalPressure = 200, kSaturationCriticalTemperature = 365;

// Liquid water below this temperature is ill-posed by volume: near the
// density maximum dv/dT vanishes.
constexpr Extended kIllPosedBelow = 10;

}  // namespace

unsigned RefinedStateFlags(Extended p, Extended t) {
    const bool inBox = p >= kRegionLowPressure && p <= kRegionHighPressure && t >= kRegionLowTemperature &&
                       t <= kRegionHighTemperature;
    return inBox ? unsigned(kRefinedCriticalRegion) : 0u;
}

unsigned RefinedSaturationFlags(bool byPressure, Extended level) {
    const bool critical = byPressure ? level >= kSaturationCriticalPressure : level >= kSaturationCriticalTemperature;
    return critical ? unsigned(kRefinedCriticalRegion) : 0u;
}

unsigned RefinedInverseFlags(const RefinedTables &tables, InverseKey key, Extended p, Extended k) {
    InverseValues state;
    if (!RefinedLookupInverse(tables, key, p, k, 0, &state)) return 0;
    unsigned flags = RefinedStateFlags(p, state.temperature);
    const bool twoPhase = state.quality > 0 && state.quality < 1;
    if (twoPhase) flags |= RefinedSaturationFlags(true, p);
    if (key == InverseKey::Volume && state.quality == 0 && state.temperature < kIllPosedBelow)
        flags |= kRefinedIllPosed;
    return flags;
}

}  // namespace rudid
