// RudidStateFlags: where the answer of a property function is poor. The
// export is first evaluated as a single call would be (same rounding, unit
// conversion and range tests); a state it refuses or fails on has no flags.
// The reasons then come from the tables along the lookup's own path.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <cstring>

#include "api/call_frame.h"
#include "api/export_table.h"
#include "platform/platform.h"
#include "tables/call_table_cache.h"
#include "tables/state_flags.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

static_assert(kMixedPhaseCell == RUDID_FLAG_MIXED_PHASE_CELL && kNearSaturation == RUDID_FLAG_NEAR_SATURATION &&
                  kCriticalRegion == RUDID_FLAG_CRITICAL_REGION && kCoarseGrid == RUDID_FLAG_COARSE_GRID,
              "the flag bits of the tables are those of the public header");

InverseKey KeyOf(ExportFamily family) {
    switch (family) {
        case ExportFamily::PressureEnthalpy: return InverseKey::Enthalpy;
        case ExportFamily::PressureEntropy: return InverseKey::Entropy;
        default: return InverseKey::Volume;
    }
}

unsigned Flags(const ExportDescriptor &fn, double first, double second) {
    const StartupConfiguration &config = Startup();
    const ExportUnits units = ResolveUnits(fn, config);
    // The flags read the same records several times over: one cache for the
    // call opens each table once.
    CallTableCache cache(config.dataDirectory, 1);
    const TableSource tables = cache.source();
    if (RudidRangeCode(EvaluateExport(fn, units, tables, first, second)) != 0) return 0;

    // The arguments in internal units, exactly as the call took them.
    const bool byTemperature = fn.family == ExportFamily::SaturationByTemperature;
    const Extended a = ToInternalUnit(QuantityCode(fn.firstArgument), RoundToReal48(first), units.first);
    Extended b = fn.arguments == 2 ? RoundToReal48(second) : -1.0L;
    if (fn.arguments == 2 && fn.secondArgument != kQuality)
        b = ToInternalUnit(QuantityCode(fn.secondArgument), b, units.second);

    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature:
            return SaturationFlags(tables, !byTemperature, a, fn.output, b);
        case ExportFamily::PressureTemperature: return PressureTemperatureFlags(tables, a, b, fn.output);
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: return InverseFlags(tables, KeyOf(fn.family), a, b, fn.output);
    }
    return 0;
}

// The arguments are read only once the library's arithmetic is in force: a
// double copied by value may pass through the x87 unit on i686, where a
// signalling NaN traps a host that unmasks invalid operations.
__attribute__((noinline)) int FlagsUnderLibraryArithmetic(ExportId id, const double *first, const double *second) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    unsigned flags = 0;
    try {
        double a, b;
        std::memcpy(&a, first, sizeof a);
        std::memcpy(&b, second, sizeof b);
        flags = Flags(Describe(id), a, b);
    } catch (...) {
        // A failure of the call itself, or of a table read on the way: the
        // state has no answer, and so no flags.
        flags = 0;
    }
    platform::LeaveLibraryArithmetic(saved);
    return int(flags);
}

}  // namespace

}  // namespace rudid

extern "C" RUDID_API int RUDID_CALL RudidStateFlags(const char *name, double arg1, double arg2) {
    const std::optional<rudid::ExportId> id = rudid::FindExport(name);
    if (!id) return RUDID_UNKNOWN_FUNCTION;
    return rudid::FlagsUnderLibraryArithmetic(*id, &arg1, &arg2);
}
