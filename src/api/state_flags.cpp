// RudidStateFlags: where the answer of a property function is poor. The
// row is evaluated as a batch row is, and its flags are read from the path
// its lookup took and from the records around it; a state that the export
// refuses or fails on has no flags.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include "api/state_flags.h"

#include <new>

#include "api/batch.h"
#include "api/context.h"
#include "api/family_description.h"
#include "common/failure.h"
#include "platform/platform.h"
#include "tables/state_flags.h"

namespace rudid {

namespace {

static_assert(kMixedPhaseCell == RUDID_FLAG_MIXED_PHASE_CELL && kNearSaturation == RUDID_FLAG_NEAR_SATURATION &&
                  kCriticalRegion == RUDID_FLAG_CRITICAL_REGION && kCoarseGrid == RUDID_FLAG_COARSE_GRID,
              "the flag bits of the tables are those of the public header");

}  // namespace

unsigned RowFlags(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
                  const LookupPath &place, Extended answer) {
    try {
        const FamilyTraits &traits = TraitsOf(fn.family);
        switch (traits.lookup) {
            case FamilyLookup::Saturation:
                // A one-argument export gives the field alone (quality < 0).
                return SaturationFlags(tables, traits.firstQuantity == RUDID_PRESSURE, first, fn.output,
                                       fn.arguments == 2 ? second : -1.0L, place, answer);
            case FamilyLookup::PressureTemperature:
                return PressureTemperatureFlags(tables, fn.output, place, answer);
            case FamilyLookup::Inverse: return InverseFlags(tables, traits.key, fn.output, second, place, answer);
        }
    } catch (const LibraryFailure &) {
    }
    return 0;
}

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

extern "C" RUDID_API int RUDID_CALL RudidStateFlags(const char *name, double arg1, double arg2) {
    const std::optional<rudid::ExportId> id = rudid::FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    return rudid::FlagsOfOneState(*id, &arg1, &arg2, rudid::Answer::Table);
}
