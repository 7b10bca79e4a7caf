// RudidEvaluateRefined and RudidRefinedFlags: the refined answers of the
// property functions, through the same call skeleton as the table answers
// (argument rounding, units, range tests, error codes), with the refined
// lookups of tables/refined_lookup.h in place of the table lookups.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <new>

#include "api/batch.h"
#include "api/call_frame.h"
#include "api/export_table.h"
#include "platform/platform.h"
#include "tables/call_table_cache.h"
#include "tables/refined_flags.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

static_assert(kRefinedCriticalRegion == RUDID_FLAG_CRITICAL_REGION && kRefinedIllPosed == RUDID_FLAG_ILL_POSED,
              "the refined flag bits of the tables are those of the public header");

InverseKey KeyOf(ExportFamily family) {
    switch (family) {
        case ExportFamily::PressureEnthalpy: return InverseKey::Enthalpy;
        case ExportFamily::PressureEntropy: return InverseKey::Entropy;
        default: return InverseKey::Volume;
    }
}

unsigned RefinedFlags(const ExportDescriptor &fn, double first, double second) {
    const StartupConfiguration &config = Startup();
    const ExportUnits units = ResolveUnits(fn, config);
    CallTableCache cache(config.dataDirectory, 1);
    const TableSource tables = cache.source();
    if (RudidRangeCode(EvaluateExport(fn, units, tables, first, second, false, Answer::Refined)) != 0) return 0;

    // The arguments in internal units, exactly as the call took them.
    const Extended a = ToInternalUnit(QuantityCode(fn.firstArgument), RoundToReal48(first), units.first);
    Extended b = fn.arguments == 2 ? RoundToReal48(second) : 0.0L;
    if (fn.arguments == 2 && fn.secondArgument != kQuality)
        b = ToInternalUnit(QuantityCode(fn.secondArgument), b, units.second);

    switch (fn.family) {
        case ExportFamily::SaturationByPressure: return RefinedSaturationFlags(true, a);
        case ExportFamily::SaturationByTemperature: return RefinedSaturationFlags(false, a);
        case ExportFamily::PressureTemperature: return RefinedStateFlags(a, b);
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: return RefinedInverseFlags(tables, KeyOf(fn.family), a, b);
    }
    return 0;
}

}  // namespace

}  // namespace rudid

extern "C" RUDID_API int RUDID_CALL RudidEvaluateRefined(const char *name, size_t n, const double *arg1,
                                                         const double *arg2, double *result, int *failure) {
    using namespace rudid;
    const std::optional<ExportId> id = FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    const ExportDescriptor &fn = Describe(*id);
    if (n == 0) return 0;
    if (!arg1 || !result || !failure || (fn.arguments == 2 && !arg2)) return RUDID_BAD_ARGUMENTS;

    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    int failed;
    try {
        failed = EvaluateBatch(fn, Startup(), n, arg1, arg2, result, failure, false, Answer::Refined);
    } catch (const std::bad_alloc &) {
        failed = RUDID_OUT_OF_MEMORY;
    }
    platform::LeaveLibraryArithmetic(saved);
    return failed;
}

extern "C" RUDID_API int RUDID_CALL RudidRefinedFlags(const char *name, double arg1, double arg2) {
    using namespace rudid;
    const std::optional<ExportId> id = FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    unsigned flags = 0;
    try {
        flags = RefinedFlags(Describe(*id), arg1, arg2);
    } catch (...) {
        // A failure of the call itself: no answer, and so no flags.
        flags = 0;
    }
    platform::LeaveLibraryArithmetic(saved);
    return int(flags);
}
