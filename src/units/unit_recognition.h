// Recognition of a unit name: the factor (or temperature scale) that a name
// stands for in the table of a quantity code.
#pragma once

#include <cstddef>
#include <optional>

#include "units/quantity.h"
#include "units/unit_factor_tables.h"

namespace rudid {

// Copies the text with the letters a to z in upper case; every other
// character stays as it is. Writes at most size - 1 characters and a
// terminating zero (size must be at least 1). Returns false when the text did
// not fit.
bool NormaliseUnitName(const char *in, char *out, std::size_t size);

// The factor that the name stands for in the table of the code, or nothing
// when the table does not hold the name. Dimensionless (25) recognises only
// the empty name, with the factor 1. Case of a to z is ignored; blanks are
// not trimmed; the whole text must match.
std::optional<UnitFactor> RecogniseUnit(QuantityCode code, const char *name);

}  // namespace rudid
