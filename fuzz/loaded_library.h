// Copies of the built shared library, loaded with configurations of their
// own (see tests/api/library_instance.h), as the fuzz targets call them.
#pragma once

#include <memory>
#include <vector>

#include "api/library_instance.h"
#include "fuzz_checks.h"

namespace rudid::fuzzing {

LibraryFunctions FunctionsOf(const testing::LibraryInstance &instance);

// Unit configurations the targets choose from: the internal units, and
// three that convert every argument and result (MPa, K, Btu/lbm,
// Btu/lbm,F, ft3/lbm; psi, F, m3/ton; bar, F with British units).
constexpr int kUnitChoices = 4;
testing::UnitChoice UnitChoiceNumber(int k);

// A copy of the library over the shipped tables and its functions.
struct ConfiguredLibrary {
    std::unique_ptr<testing::LibraryInstance> instance;
    LibraryFunctions functions;
};

// Loads one copy for each of the first `count` unit configurations, once per
// process (from LLVMFuzzerInitialize); the copies live until it ends.
void LoadShippedLibraries(int count);

// The functions of the copy in unit configuration k (k < count above).
const LibraryFunctions &ShippedLibrary(int k);

}  // namespace rudid::fuzzing
