// The limits of the range tests, in internal units (bar and degrees
// Celsius). The decimal limits are the nearest extended values; no Real48
// equals one of them, so strict and non-strict comparisons agree there.
#pragma once

#include "common/real48.h"
#include "tables/single_phase_table.h"  // kCriticalPressure, where the saturation line ends

namespace rudid {

constexpr Extended kLowestPressure = 0.01L;
constexpr Extended kHighestPressure = 1000;
constexpr Extended kLowestTemperature = 0;
constexpr Extended kCriticalTemperature = 374.15L;
constexpr Extended kHighestTemperature = 800;

}  // namespace rudid
