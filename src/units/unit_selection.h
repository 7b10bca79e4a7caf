// The unit names the user can select for each quantity, and the name that a
// set of unit selections chooses.
#pragma once

#include <cstdint>

#include "units/quantity.h"

namespace rudid {

// Number of selection words loaded from default.cfg; word k belongs to
// quantity code k (words 26 to 30 are reserved and not interpreted).
constexpr int kUnitSelectionWordCount = 31;
static_assert(kUnitSelectionWordCount > kQuantityCodeCount);

// A constant list of selectable unit names, in selection order, and the
// index of its last name. Codes without a list have names == nullptr.
struct UnitList {
    const char *const *names;
    int lastIndex;
};

// The selection list of a code. Code 22 (per degree) shares the list of
// temperature; codes 11, 15 to 18 and 25, and codes past 25, have none.
UnitList UnitListFor(QuantityCode code);

// The unit name that the selections choose for the code: the name at the
// code's selection when it lies in the list, else the list's first. Code 22
// follows the temperature word, code 25 gives the empty text, and a code
// without a list gives null.
const char *UnitNameFor(QuantityCode code, const std::int16_t selections[kUnitSelectionWordCount]);

}  // namespace rudid
