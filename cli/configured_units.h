// The units the tool works in for this run, as the library reports them:
// those of the tool's context (the units chosen for the run), else the
// process's configuration.
#pragma once

#include <string>

#include "export_table.h"

namespace rudid::cli {

// The unit name of a quantity in this run; "" for a quality.
std::string UnitOf(Quantity quantity);

// A value in the library's internal unit of the quantity expressed in the
// run's unit, and back, with the library's own factors: for placing
// values (a diagram's sweeps), never for the results themselves.
double ToConfigured(Quantity quantity, double internalValue);
double FromConfigured(Quantity quantity, double configuredValue);

}  // namespace rudid::cli
