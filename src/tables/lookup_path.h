// What every lookup shares besides its records: how it decides the
// comparisons on its path, and what it reports about the path it took.
//
// How a lookup reads its records is its TableSource (table_source.h): from
// the file on every call, or from the memory of a batch call. How it
// decides is a policy, a template parameter of the lookup:
//   ExactDecisions    every comparison of interpolated values is made on
//                     the exact interpolations;
//   BoundedDecisions  first on a double-precision estimate with a bound on
//                     its distance from the exact value; the exact values
//                     are computed only where the bound leaves the answer
//                     open, or where they are part of the answer.
// Both take every decision the same way, so they give the same bits; the
// bound saves the exact interpolations that only serve a comparison. It
// holds for records whose values are all finite and well inside the Real48
// range (IsSafeSingle); a lookup decides exactly on any other.
#pragma once

#include <cstdint>

#include "common/real48.h"

namespace rudid {

struct ExactDecisions {
    static constexpr bool kBoundFirst = false;
};
struct BoundedDecisions {
    static constexpr bool kBoundFirst = true;
};

// The path a lookup took through the tables, as far as the state flags and
// the batch's statistics need it.
struct LookupPath {
    // Single-phase table: the upper isobar of the pair interpolated (grid
    // index 2..224), and the lower and upper entries used (0..80); -1 when
    // the table was not needed.
    int isobar = -1;
    int lowerEntry = -1, upperEntry = -1;
    bool belowCritical = false;  // the saturation line was asked
    bool twoPhase = false;       // inverse: the key lay between the saturated keys
    bool straddling = false;     // the saturation line crosses the cell or interval used
    bool vapour = false;         // the state lies on the vapour side of the line
    // A comparison was made on exact values: the policy decides exactly,
    // the records were not safe for the bound, or the bound left it open.
    bool exactFallback = false;

    // Where the state lies, for the state flags; filled only when the caller
    // sets wantsPlace before the lookup.
    bool wantsPlace = false;
    Extended pressure = 0;     // moved inside the grid, as interpolated
    Extended temperature = 0;  // pressure-temperature: moved inside the grid
    // Below the critical pressure: the interval of the saturation records
    // the pressure lies in (the lower record, and the weight of the
    // pressure between the two).
    int saturationRecord = -1;
    double saturationWeight = 0;
    // The saturation temperature at the pressure: as interpolated where
    // saturationError is 0; else an estimate within saturationError of it,
    // which most flags decide by (SaturationPoint::rough).
    Extended saturationTemperature = 0;
    double saturationError = 0;
    // Inverse, single phase: the two ends of the interpolation (key,
    // temperature, second and third property); wet: the saturated liquid's
    // and vapour's key, second and third property.
    double end[2][4] = {};
    double saturated[2][3] = {};
};

}  // namespace rudid
