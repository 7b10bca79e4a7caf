// The saturation line at a lookup's pressure, as the state flags read it
// from the lookup's place.
#pragma once

#include "tables/lookup_path.h"
#include "tables/saturation_state.h"

namespace rudid {

// Every field of a safe point is interpolated on demand and cannot fail; an
// unsafe point holds all seven already.
inline void PlaceOnTheLine(const SaturationPoint &sat, LookupPath *path) {
    path->saturationTemperature = sat.field(kSaturationLevel);
    path->saturationRecord = sat.lowerRecord();
    path->saturationWeight = sat.weight();
}

}  // namespace rudid
