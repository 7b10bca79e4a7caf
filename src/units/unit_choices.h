// Units chosen by name in text ("pressure=psi, entropy=Btu/lbm,F"), as
// hosts give them when they open a context: each item sets the selection
// word of its quantity to the named unit's place in the quantity's list.
// Items are separated by ';', line ends, or a ',' before the next item's
// "QUANTITY=" (a unit such as "kJ/kg,K" keeps its comma).
#pragma once

#include <cstddef>
#include <cstdint>

#include "units/quantity.h"
#include "units/unit_selection.h"

namespace rudid {

// What a text chooses: selection words, and for each quantity code the unit
// chosen by a name on no selection list (kPa), else null.
struct UnitChoices {
    std::int16_t selections[kUnitSelectionWordCount];
    const char *namedOnly[kQuantityCodeCount];
};

// Applies the items of text to choices, left to right; a later item for
// the same quantity wins. A quantity is named as the library names it
// ("specific enthalpy"), in any case, with spaces, '_' or '-' between its
// words or none, without its "specific", or by its code; a unit by one of
// its list's names, exactly or in another case, or by a name that only a
// choice by name can make: these are on no list, so that no word of an
// existing default.cfg comes to mean them. Returns false, with why in error
// (naming the item) and choices unchanged, at the first item that names no
// quantity with units of its own, or no unit of its quantity.
bool ApplyUnitChoices(const char *text, UnitChoices *choices, char *error, std::size_t errorSize);

}  // namespace rudid
