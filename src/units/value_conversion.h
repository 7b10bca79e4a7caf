// Conversion of one value between the user's unit, given by its name, and
// the internal unit of its quantity.
#pragma once

#include "common/real48.h"
#include "units/quantity.h"
#include "units/unit_factor_tables.h"

namespace rudid {

// direction 0 converts from the named unit into the internal unit; any other
// value converts from the internal unit into the named unit. *failed is 0
// and *converted written when the name is recognised for the code; otherwise
// *failed is 1 and *converted left as it was. The arithmetic is extended and
// the result rounded once; a result too large for a Real48 raises the
// floating-point overflow failure, leaving *converted as it was.
void ConvertValue(QuantityCode code, int direction, Real48 value, const char *unitName,
                  Real48 *converted, int *failed);

// The arithmetic of ConvertValue with a factor that RecogniseUnit has already
// given for the code, for callers that convert many values in one unit.
Real48 ConvertWithFactor(QuantityCode code, int direction, Real48 value, UnitFactor factor);

// The same on a widened value and factor, giving the widened result.
Extended ConvertWidened(QuantityCode code, int direction, Extended value, Extended factor);

}  // namespace rudid
