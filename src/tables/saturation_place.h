// The saturation line at a lookup's pressure, as the state flags read it
// from the lookup's place.
#pragma once

#include "tables/lookup_path.h"
#include "tables/saturation_state.h"

namespace rudid {

// The interval of saturation records the pressure lies in, which the
// saturation functions' flags read; the lookups of single-phase states
// place the saturation temperature too (PlaceOnTheLine).
inline void PlaceInTheRecords(const SaturationPoint &sat, LookupPath *path) {
    path->saturationRecord = sat.lowerRecord();
    path->saturationWeight = sat.weight();
}

inline void PlaceOnTheLine(const SaturationPoint &sat, LookupPath *path) {
    PlaceInTheRecords(sat, path);
    if (sat.bounded()) {
        const Rough level = sat.rough(kSaturationLevel);
        path->saturationTemperature = level.value, path->saturationError = level.error;
    } else {
        path->saturationTemperature = sat.field(kSaturationLevel), path->saturationError = 0;
    }
}

}  // namespace rudid
