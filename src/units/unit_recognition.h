// Recognition of a unit name: the factor (or temperature scale) that a name
// stands for in the table of a quantity code.
#pragma once

#include <cstddef>

#include "units/quantity.h"
#include "units/unit_factor_tables.h"

namespace rudid {

// Copies the text with the letters a to z in upper case; every other
// character stays as it is. Writes at most size - 1 characters and a
// terminating zero (size must be at least 1). Returns false when the text did
// not fit.
bool NormaliseUnitName(const char *in, char *out, std::size_t size);

// Looks the name up for the code. *failed is 0 when it was recognised, and
// *factor then holds its factor; otherwise *failed is 1 and *factor is left
// as it was. Dimensionless (25) recognises only the empty name, and sets
// *factor to 1 for any name. Case of a to z is ignored; blanks are not
// trimmed; the whole text must match.
void RecogniseUnit(QuantityCode code, const char *name, UnitFactor *factor, int *failed);

}  // namespace rudid
