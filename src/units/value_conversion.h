// Conversion of one value between the unit the user configured for its
// quantity and the quantity's internal unit, with the factor (or, for
// temperature, the scale) that recognition gave for the unit's name. The
// value and the factor are widened six-byte reals; the arithmetic is
// extended and the result rounded once to a six-byte real, held widened. A
// result too large for a six-byte real raises the floating-point overflow
// failure.
#pragma once

#include "common/real48.h"
#include "units/quantity.h"

namespace rudid {

// From the configured unit into the internal unit: value x factor.
Extended ToInternalUnit(QuantityCode code, Extended value, Extended factor);

// From the internal unit into the configured unit: value / factor.
Extended FromInternalUnit(QuantityCode code, Extended value, Extended factor);

}  // namespace rudid
