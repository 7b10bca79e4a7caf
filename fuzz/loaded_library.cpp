#include "loaded_library.h"

namespace rudid::fuzzing {

LibraryFunctions FunctionsOf(const testing::LibraryInstance &lib) {
    return LibraryFunctions{
        {lib.AQPPT, lib.AQPTP},
        {lib.AQPTQH, lib.AQPTQS, lib.AQPTQV, lib.AQPPQH, lib.AQPPQS, lib.AQPPQV, lib.AQPPTH,
         lib.AQPPTS, lib.AQPPTV, lib.AQPPHT, lib.AQPPHS, lib.AQPPHV, lib.AQPPHQ, lib.AQPPST,
         lib.AQPPSH, lib.AQPPSV, lib.AQPPSQ, lib.AQPPVT, lib.AQPPVH, lib.AQPPVS, lib.AQPPVQ},
        lib.RudidEvaluate,
        lib.RudidLastError};
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
