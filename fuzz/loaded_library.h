// Copies of the built shared library, loaded with configurations of their
// own (see tests/api/library_instance.h), as the fuzz targets call them.
#pragma once

#include "api/library_instance.h"
#include "fuzz_checks.h"

namespace rudid::fuzzing {

LibraryFunctions FunctionsOf(const testing::LibraryInstance &instance);

// Unit configurations the targets choose from: the internal units, and
// three that convert every argument and result (MPa, K, Btu/lbm,
// Btu/lbm,F, ft3/lbm; psi, F, m3/ton; bar, F with British units).
constexpr int kUnitChoices = 4;
testing::UnitChoice UnitChoiceNumber(int k);

}  // namespace rudid::fuzzing
