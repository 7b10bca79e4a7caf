// The unit names the user can select for each quantity, and the name that a
// set of unit selections chooses.
#pragma once

#include <cstdint>

#include "units/quantity.h"

namespace rudid {

// Number of selection words loaded from default.cfg; word k belongs to
// quantity code k (words 26 to 30 are reserved).
constexpr int kUnitSelectionWordCount = 31;

// A constant list of selectable unit names, in selection order, and the
// index of its last name. Codes without a list have names == nullptr.
struct UnitList {
    const char *const *names;
    int lastIndex;
};

// The selection list of a code. Code 22 (per degree) shares the list of
// temperature; codes 11, 15 to 18 and 25, and codes past 25, have none.
UnitList UnitListFor(QuantityCode code);

// The name at the selection when it lies in 0..lastIndex, else the first.
const char *PickUnitName(const char *const *names, int selection, int lastIndex);

// Sets *name to the unit name that the selections choose for the code: code
// 22 follows the temperature word, code 25 gives the empty text, and a code
// without a list leaves *name as it was.
void UnitNameFor(QuantityCode code, const std::int16_t selections[kUnitSelectionWordCount],
                 const char **name);

}  // namespace rudid
