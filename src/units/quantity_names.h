// What each quantity code is called, and the unit of the library's own
// arithmetic for it.
#pragma once

namespace rudid {

// "pressure", "specific enthalpy", ...; "" for a reserved code and nullptr
// for a code outside 0..25.
const char *QuantityName(int code);

// "bar", "C", "kJ/kg", ...; "" for a code without a unit (reserved codes and
// dimensionless), nullptr for a code outside 0..25.
const char *InternalUnitName(int code);

}  // namespace rudid
