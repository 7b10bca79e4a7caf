// RudidEvaluateRefined and RudidRefinedFlags: the refined answers of the
// property functions, through the same call skeleton as the table answers
// (argument rounding, units, range tests, error codes), with the refined
// lookups of tables/refined_lookup.h in place of the table lookups.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <new>

#include "api/batch.h"
#include "api/call_frame.h"
#include "api/context.h"
#include "api/export_table.h"
#include "api/flag_exports.h"
#include "platform/platform.h"
#include "tables/refined_flags.h"

namespace rudid {

namespace {

static_assert(kRefinedCriticalRegion == RUDID_FLAG_CRITICAL_REGION && kRefinedIllPosed == RUDID_FLAG_ILL_POSED,
              "the refined flag bits of the tables are those of the public header");

}  // namespace

}  // namespace rudid

extern "C" RUDID_API int RUDID_CALL RudidEvaluateRefined(const char *name, size_t n, const double *arg1,
                                                         const double *arg2, double *result, int *failure) {
    return rudid::EvaluateByName(rudid::DefaultContext(), name, rudid::Answer::Refined, false, n, arg1, arg2,
                                 result, failure, nullptr, false);
}

extern "C" RUDID_API int RUDID_CALL RudidRefinedFlags(const char *name, double arg1, double arg2) {
    const std::optional<rudid::ExportId> id = rudid::FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    return rudid::FlagsOfOneState(*id, &arg1, &arg2, rudid::Answer::Refined);
}
