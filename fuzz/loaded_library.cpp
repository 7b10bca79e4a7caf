#include "loaded_library.h"

namespace rudid::fuzzing {

LibraryFunctions FunctionsOf(const testing::LibraryInstance &lib) {
#define RUDID_FUZZ_ADDRESS(name, ...) reinterpret_cast<void *>(lib.name),
    return LibraryFunctions{{RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_ADDRESS)}, lib.RudidEvaluate, lib.RudidLastError};
#undef RUDID_FUZZ_ADDRESS
}

testing::UnitChoice UnitChoiceNumber(int k) {
    switch (k) {
        case 1: return {3, 3, 1, 3, 4};
        case 2: return {10, 0, 2, 0, 0};
        case 3: return {0, 3, 2, 3, 4};
        default: return {};
    }
}

}  // namespace rudid::fuzzing
