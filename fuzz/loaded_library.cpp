#include "loaded_library.h"

namespace rudid::fuzzing {

namespace {

std::vector<ConfiguredLibrary> &Libraries() {
    static std::vector<ConfiguredLibrary> libraries;
    return libraries;
}

}  // namespace

LibraryFunctions FunctionsOf(const testing::LibraryInstance &lib) {
#define RUDID_FUZZ_ADDRESS(name, ...) reinterpret_cast<void *>(lib.name),
#define RUDID_FUZZ_VB_ADDRESS(name, ...) lib.Symbol<void *>("RudidVb" #name),
    return LibraryFunctions{{RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_ADDRESS)},
                            lib.RudidEvaluate,
                            lib.RudidLastError,
                            lib.Symbol<decltype(&::RudidEvaluateRefined)>("RudidEvaluateRefined"),
                            {RUDID_PROPERTY_FUNCTIONS(RUDID_FUZZ_VB_ADDRESS)},
                            lib.Symbol<decltype(&::RudidVbMessage)>("RudidVbMessage"),
                            lib.Symbol<decltype(&::RudidEvaluateWithFlags)>("RudidEvaluateWithFlags"),
                            lib.Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags")};
#undef RUDID_FUZZ_VB_ADDRESS
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

void LoadShippedLibraries(int count) {
    for (int k = 0; k < count; ++k) {
        auto instance = std::make_unique<testing::LibraryInstance>(testing::ShippedSetup(UnitChoiceNumber(k)));
        const LibraryFunctions functions = FunctionsOf(*instance);
        Libraries().push_back({std::move(instance), functions});
    }
}

const LibraryFunctions &ShippedLibrary(int k) { return Libraries()[k].functions; }

}  // namespace rudid::fuzzing
