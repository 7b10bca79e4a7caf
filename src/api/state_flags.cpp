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
#include "common/failure.h"
#include "platform/platform.h"
#include "tables/state_flag_bounds.h"
#include "tables/state_flags.h"

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

unsigned FlagsOf(const ExportDescriptor &fn, const TableSource &tables, Extended a, Extended b,
                 const LookupPath &path) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature:
            // A one-argument export gives the field alone (quality < 0).
            return SaturationFlags(tables, fn.family == ExportFamily::SaturationByPressure, a, fn.output,
                                   fn.arguments == 2 ? b : -1.0L);
        case ExportFamily::PressureTemperature: return PressureTemperatureFlags(tables, a, b, fn.output, path);
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: return InverseFlags(tables, KeyOf(fn.family), a, b, fn.output, path);
    }
    return 0;
}

// The flags of a row where the batch's bounds settle them (state_flag_bounds.h).
bool SettledFlags(const ExportDescriptor &fn, const TableSource &tables, const Extended &a, const Extended &b,
                  const LookupPath &path, unsigned *flags) {
    StateFlagMemo &memo = *tables.stateFlagMemo;
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
            return SettledSaturationFlags(memo, tables, a, fn.output, fn.arguments == 2 ? b : -1.0L, flags);
        case ExportFamily::SaturationByTemperature: return false;  // cheap as it is
        case ExportFamily::PressureTemperature:
            return SettledPressureTemperatureFlags(memo, tables, fn.output, a, b, path, flags);
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: return SettledInverseFlags(memo, tables, KeyOf(fn.family), fn.output, path, flags);
    }
    return false;
}

}  // namespace

unsigned RowFlags(const ExportDescriptor &fn, const TableSource &tables, const Extended &first,
                  const Extended &second, const LookupPath &path) {
    if (tables.stateFlagMemo) {
        unsigned flags;
        if (SettledFlags(fn, tables, first, second, path, &flags)) {
            ++tables.stateFlagMemo->settledRows;
            return flags;
        }
        ++tables.stateFlagMemo->exactRows;
    }
    try {
        return FlagsOf(fn, tables, first, second, path);
    } catch (const LibraryFailure &) {
        return 0;
    }
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
