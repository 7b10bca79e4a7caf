// The limits of the tables, in internal units (bar and degrees Celsius):
// the range tests of the exports, the end of the saturation line and the
// band around it that the pressure-temperature lookup refuses. The decimal
// limits are the nearest extended values; no Real48 equals one of them, so
// strict and non-strict comparisons agree there.
#pragma once

#include "common/real48.h"

namespace rudid {

constexpr Extended kLowestPressure = 0.01L;
constexpr Extended kHighestPressure = 1000;
constexpr Extended kLowestTemperature = 0;
constexpr Extended kHighestTemperature = 800;

// Where the saturation line ends in the tables: the critical point.
constexpr Extended kCriticalPressure = 221.2L;
constexpr Extended kCriticalTemperature = 374.15L;

// A state this close to its saturation temperature (degC) has no single-
// phase answer.
constexpr Extended kSaturationBand = 0.001L;

// The Real48 nearest to 999.999 and 799.999: a pressure of 1000 bar or a
// temperature of 800 degC is moved just inside the grid, so that the last
// isobar and the last column are only ever used as upper corners.
constexpr Real48 kJustBelow1000 = {{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x79}};
constexpr Real48 kJustBelow800 = {{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x47}};

inline void MoveInsideTheGrid(Extended *p) {
    if (*p == kHighestPressure) *p = Real48ToExtended(kJustBelow1000);
}
inline void MoveInsideTheGrid(Extended *p, Extended *t) {
    MoveInsideTheGrid(p);
    if (*t == kHighestTemperature) *t = Real48ToExtended(kJustBelow800);
}

}  // namespace rudid
