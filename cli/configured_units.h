// The units the library works in for this process, as it reports them.
#pragma once

#include <string>

#include "export_table.h"

namespace rudid::cli {

// The configured unit name of a quantity; "" for a quality.
std::string UnitOf(Quantity quantity);

// A value in the library's internal unit of the quantity expressed in the
// configured unit, and back, with the library's own factors: for placing
// values (a diagram's sweeps), never for the results themselves.
double ToConfigured(Quantity quantity, double internalValue);
double FromConfigured(Quantity quantity, double configuredValue);

}  // namespace rudid::cli
