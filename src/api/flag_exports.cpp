// RudidStateFlags and RudidRefinedFlags' row: where the answer of a
// property function is poor, for one state. The row is evaluated as a
// batch row is, with its flags; a state that the export refuses or fails
// on has none.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include "api/flag_exports.h"

#include <new>

#include "api/batch.h"
#include "api/context.h"
#include "platform/platform.h"

namespace rudid {

__attribute__((noinline)) int FlagsOfOneState(ExportId id, const double *first, const double *second, Answer answer) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    double result;
    int failure;
    unsigned flags = 0;
    try {
        // From the kept tables where the INI keeps them: no file opened
        // per call.
        EvaluateInContext(DefaultContext(), Describe(id), answer, true, 1, first, second, &result, &failure,
                          &flags);
    } catch (const std::bad_alloc &) {
        flags = 0;
    }
    platform::LeaveLibraryArithmetic(saved);
    return int(flags);
}

}  // namespace rudid

extern "C" RUDID_API const char *RUDID_CALL RudidFlagName(int flag) {
    switch (flag) {
        case RUDID_FLAG_MIXED_PHASE_CELL: return "mixed-phase-cell";
        case RUDID_FLAG_NEAR_SATURATION: return "near-saturation";
        case RUDID_FLAG_CRITICAL_REGION: return "critical-region";
        case RUDID_FLAG_COARSE_GRID: return "coarse-grid";
        case RUDID_FLAG_ILL_POSED: return "ill-posed";
        default: return nullptr;
    }
}

extern "C" RUDID_API int RUDID_CALL RudidStateFlags(const char *name, double arg1, double arg2) {
    const std::optional<rudid::ExportId> id = rudid::FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    return rudid::FlagsOfOneState(*id, &arg1, &arg2, rudid::Answer::Table);
}
