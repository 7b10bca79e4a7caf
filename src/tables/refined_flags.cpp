#include "tables/refined_flags.h"

#include "common/constants.h"
#include "tables/refined_lookup.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// Two states share a volume in cold water: liquid water's isobar v(T)
// falls from 0 degC to the density maximum near 4 degC and rises after it,
// and below 0.0107 bar the wet states, which start at the saturated
// liquid's v, lie below the 0 degC volume too. A volume below the refined
// 0 degC one is refused; one at or just above it is answered by the
// temperature on the rising side (or by the wet state), while the state may
// as well lie near 0 degC, and further up the volume still moves so little
// with the temperature that the tables' small errors in v move the answer
// by degrees.
//
// The reach: a liquid or wet answer from a volume at most 1 + margin times
// the refined 0 degC volume at its pressure. The margins were measured by
// tools/ill_posed_reach.py: liquid states at every 0.02 degC from 0 degC to
// the saturation temperature (at most 60 degC) on 300 pressures log-spaced
// over 0.01..1000 bar, entered with IAPWS-IF97's volume, their refined
// temperature, enthalpy and entropy compared with IF97's as
// bench/accuracy_report.py compares them (off: more than 1 % and above the
// floor of the quantity). The margins are about 1.5 times the largest
// v / v(0 degC) - 1 of an answer off by more than 1 %:
//   up to 0.03 bar, where the liquid has few nodes (0 and 10 degC and the
//     saturated liquid): 0.00126, enthalpies off up to 17.6 degC;
//   up to 30 bar: 5.5e-8, answers near 8 degC for states near 0 degC (the
//     tables' error of the 0 degC volume);
//   up to 221.2 bar: 9.1e-5, where the density maximum moves below 4 degC
//     and enthalpies and entropies up to 6 degC are off;
//   above: no answer off; a volume at most the 0 degC one only.
struct IllPosedReach {
    Extended upToPressure, margin;
};
constexpr IllPosedReach kIllPosedReach[] = {{0.03L, 2e-3L}, {30, 1e-7L}, {kCriticalPressure, 1.5e-4L}};

bool SharesColdVolume(const RefinedTables &tables, Extended p, Extended v) {
    Extended margin = 0;
    for (const IllPosedReach &reach : kIllPosedReach)
        if (p <= reach.upToPressure) {
            margin = reach.margin;
            break;
        }
    SinglePhaseValues cold;
    if (!RefinedLookupPT(tables, p, 0, kWantVolume, &cold)) return false;
    return v <= cold.volume * (1 + margin);
}

}  // namespace

unsigned RefinedStateFlags(Extended p, Extended t) {
    const bool inBox = p >= kRefinedRegionLowPressure && p <= kRefinedRegionHighPressure &&
                       t >= kRefinedRegionLowTemperature && t <= kRefinedRegionHighTemperature;
    return inBox ? unsigned(kRefinedCriticalRegion) : 0u;
}

unsigned RefinedSaturationFlags(bool byPressure, Extended level) {
    const bool critical = byPressure ? level >= kRefinedSaturationPressure : level >= kRefinedSaturationTemperature;
    return critical ? unsigned(kRefinedCriticalRegion) : 0u;
}

unsigned RefinedInverseFlags(const RefinedTables &tables, InverseKey key, Extended p, Extended k,
                             const InverseValues &state) {
    unsigned flags = RefinedStateFlags(p, state.temperature);
    const bool twoPhase = state.quality > 0 && state.quality < 1;
    if (twoPhase) flags |= RefinedSaturationFlags(true, p);
    if (key == InverseKey::Volume && state.quality < 1 && SharesColdVolume(tables, p, k)) flags |= kRefinedIllPosed;
    return flags;
}

}  // namespace rudid
