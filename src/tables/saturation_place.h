// The saturation line at a lookup's pressure, as the state flags read it
// from the lookup's place.
#pragma once

#include "tables/lookup_path.h"
#include "tables/saturation_state.h"

namespace rudid {

inline void PlaceOnTheLine(const SaturationPoint &sat, LookupPath *path) {
    path->saturationRecord = sat.lowerRecord();
    path->saturationWeight = sat.weight();
    path->saturationTemperature = sat.field(kSaturationLevel);
}

}  // namespace rudid
