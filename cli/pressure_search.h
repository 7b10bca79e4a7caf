// States given by a pair that no property function takes (h and s, T and
// h, s and x, ...): each row is brought back to a pair that one does take,
// by finding the pressure at which a property function of the pressure and
// one given property answers the other given property.
#pragma once

#include <span>
#include <vector>

#include "state_solver.h"

namespace rudid::cli {

// The rows of the pair (a, b), solved through a pressure, or through a
// quality for a temperature with an h, s or v of wet steam. Every state
// answered gives back both given properties (GivesBack in state_solver.h);
// a row for which no such state is found has every property an error that
// says so.
std::vector<StateRow> SolveThroughPressure(Quantity a, Quantity b, std::span<const double> first,
                                           std::span<const double> second, const Evaluator &evaluate,
                                           bool withFlags);

}  // namespace rudid::cli
