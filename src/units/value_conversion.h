// Conversion of one value between the user's unit, given by its name, and
// the internal unit of its quantity.
#pragma once

#include "tables/real48.h"
#include "units/quantity.h"

namespace rudid {

// direction 0 converts from the named unit into the internal unit; any other
// value converts from the internal unit into the named unit. *failed is 0
// and *converted written when the name is recognised for the code; otherwise
// *failed is 1 and *converted left as it was. The arithmetic is extended and
// the result rounded once; a result too large for a Real48 raises the
// floating-point overflow failure, leaving *converted as it was.
void ConvertValue(QuantityCode code, int direction, Real48 value, const char *unitName,
                  Real48 *converted, int *failed);

}  // namespace rudid
