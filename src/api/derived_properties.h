// The properties of solved states that the tables do not hold (density,
// internal energy, heat capacities, speed of sound, viscosity, thermal
// conductivity, Prandtl number, surface tension), for RudidSolveProperties
// and RudidContextProperty: each row's p, T, h, v and phase, read from the
// state block, give the properties in the context's units.
#pragma once

#include <cstddef>
#include <vector>

#include "api/state_solver.h"

namespace rudid {

constexpr int kDerivedProperties = RUDID_DERIVED_PROPERTIES;

// Row i's property k at [kDerivedProperties * i + k]; codes and flags as
// RudidSolveProperties gives them.
struct DerivedBlock {
    std::vector<double> values;
    std::vector<int> codes;
    std::vector<unsigned> flags;
};

// The derived properties of the n solved states of block, in the context's
// units. wanted: the properties asked for, bit k for property k; the others
// may be left NaN with code 0 (density and internal energy need no
// formulation, surface tension only the temperature). Runs under the
// library's arithmetic.
constexpr unsigned kAllDerived = (1u << kDerivedProperties) - 1;
void DeriveProperties(const RudidContext &context, const StateBlock &block, std::size_t n, DerivedBlock *out,
                      unsigned wanted = kAllDerived);

// What of the solved state (StateSetting::needed) the wanted derived
// properties are worked out from.
unsigned StatePropertiesFor(unsigned wanted);

// Whether a code of a derived property is an answer of the call (a value,
// an error code, a property the state does not have) rather than a state
// not found or a failure.
inline bool DerivedAnswered(int code) { return code <= 0 && code != RUDID_NO_STATE; }

// The quantity of a property's unit (RUDID_NO_QUANTITY for the surface
// tension, always in N/m, and outside the range).
int DerivedQuantity(int property);

}  // namespace rudid
