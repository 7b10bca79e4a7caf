#include "configured_units.h"

namespace rudid::cli {

std::string UnitOf(Quantity quantity) {
    const char *name = RudidConfiguredUnit(int(quantity));
    return name ? name : "";
}

double ToConfigured(Quantity quantity, double internalValue) {
    return RudidToConfiguredUnit(int(quantity), internalValue);
}

double FromConfigured(Quantity quantity, double configuredValue) {
    return RudidFromConfiguredUnit(int(quantity), configuredValue);
}

}  // namespace rudid::cli
