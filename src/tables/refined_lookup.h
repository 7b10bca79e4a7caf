// The refined answers: the same three tables as the lookups, interpolated
// with cubics through the nodes of the state's own phase (refined_isobar.h)
// and the saturation line on its own scales (refined_saturation.h). Each
// output is rounded to Real48.
//
// The inverse answers solve the refined forward interpolation itself for
// the temperature, so that a refined h from (p, T) fed back into the
// refined temperature from (p, h) gives T again.
#pragma once

#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/lookup_pt.h"
#include "tables/refined_memory.h"

namespace rudid {

// Volume, enthalpy and entropy at p (bar, 0.01..1000) and t (degC,
// 0..800), those of the mask `wanted` (kWantVolume, kWantEnthalpy,
// kWantEntropy). False, state untouched, when p is at most 221.2 bar and t
// lies within 0.001 degC of the refined saturation temperature.
bool RefinedLookupPT(const RefinedTables &tables, Extended p, Extended t, unsigned wanted,
                     SinglePhaseValues *state);

// Temperature and quality at p (bar, 0.01..1000) and the key, and the two
// other properties of the mask `wanted` (kWantSecond, kWantThird). False, state untouched, when the key lies
// outside the phase's range at that pressure (below its 0 degC value or
// above its 800 degC value).
bool RefinedLookupInverse(const RefinedTables &tables, InverseKey key, Extended p, Extended k, unsigned wanted,
                          InverseValues *state);

}  // namespace rudid
