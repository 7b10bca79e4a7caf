#include "units/quantity_names.h"

#include "units/quantity.h"

namespace rudid {

namespace {

struct QuantityNaming {
    const char *name;
    const char *internalUnit;
};

// Indexed by quantity code. A quantity per degree is named by the
// temperature scale, so its internal unit is that of a temperature step.
constexpr QuantityNaming kNaming[kQuantityCodeCount] = {
    {"length", "m"},
    {"area", "m2"},
    {"density", "kg/m3"},
    {"pressure", "bar"},
    {"force", "N"},
    {"specific enthalpy", "kJ/kg"},
    {"temperature", "C"},
    {"velocity", "m/s"},
    {"torque", "Nm"},
    {"power", "kW"},
    {"specific entropy", "kJ/kg,K"},
    {"", ""},
    {"specific volume", "m3/kg"},
    {"volume flow", "m3/s"},
    {"mass flow", "kg/s"},
    {"", ""},
    {"", ""},
    {"", ""},
    {"", ""},
    {"energy per volume", "kJ/m3"},
    {"viscosity", "Ns/m2"},
    {"molar mass", "kg/kmol"},
    {"per degree", "1/K"},
    {"thermal conductivity", "kW/m,C"},
    {"heat transfer coefficient", "kW/m2,C"},
    {"dimensionless", ""},
};

}  // namespace

const char *QuantityName(int code) {
    return code >= 0 && code < kQuantityCodeCount ? kNaming[code].name : nullptr;
}

const char *InternalUnitName(int code) {
    return code >= 0 && code < kQuantityCodeCount ? kNaming[code].internalUnit : nullptr;
}

}  // namespace rudid
