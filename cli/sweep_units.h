// Pressures and temperatures laid out in bar and degrees Celsius, expressed
// in the configured units so that they can be handed to the library. Used
// to place the diagram's sweeps; the library's own conversions decide every
// property it returns.
#pragma once

#include <string>

namespace rudid::cli {

// bar into the named pressure unit ("psi", "MPa", ...); an unknown name
// is taken as bar.
double PressureFromBar(double bar, const std::string &unit);

// degrees Celsius into "C", "K" or "F".
double TemperatureFromCelsius(double celsius, const std::string &unit);

}  // namespace rudid::cli
