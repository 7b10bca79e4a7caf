#include "configured_units.h"

#include "library_call.h"
#include "rudid32.h"

namespace rudid::cli {

std::string UnitOf(Quantity quantity) {
    if (quantity == Quantity::InternalEnergy) quantity = Quantity::SpecificEnthalpy;
    const char *name = RudidContextUnit(ToolContext(), int(quantity));
    return name ? name : "";
}

double ToConfigured(Quantity quantity, double internalValue) {
    return RudidContextConvert(ToolContext(), int(quantity), internalValue, 1);
}

double FromConfigured(Quantity quantity, double configuredValue) {
    return RudidContextConvert(ToolContext(), int(quantity), configuredValue, 0);
}

}  // namespace rudid::cli
