// The exported C functions. Each one runs the common skeleton under the
// library's arithmetic environment and hands back the address of its own
// result slot; no C++ exception ever leaves here.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <cstring>

#include "api/call_frame.h"
#include "api/last_failure.h"
#include "api/property_call.h"
#include "common/failure.h"
#include "platform/platform.h"
#include "tables/process_table_cache.h"

namespace rudid {

namespace {

// One result slot per export and per thread: the double stays readable after
// the call returns and no other thread's call can disturb it.
thread_local double tResultSlots[kExportCount];

// The arguments arrive as the addresses of the caller's doubles and are read
// only once the library's control word is in force. Copying a double by
// value may run it through the x87 unit (fldl/fstpl on i686), and loading a
// signalling NaN under a host word that unmasks invalid operations traps.
double ArgumentAt(const double *argument) {
    double value = 0;
    if (argument) std::memcpy(&value, argument, sizeof value);
    return value;
}

// What a single call needs besides its arguments when start-up turned the
// cache on: the tables kept in memory for the process, and the units of
// every export, resolved once (the configuration never changes after
// start-up). Made at the first single call, under the library's arithmetic.
struct KeptState {
    ProcessTableCache tables;
    ExportUnits units[kExportCount];
    explicit KeptState(const StartupConfiguration &config)
        : tables(config.dataDirectory, kTableRecheckMilliseconds) {
        for (int id = 0; id < kExportCount; ++id) units[id] = ResolveUnits(Describe(ExportId(id)), config);
    }
};

KeptState &Kept(const StartupConfiguration &config) {
    static KeptState kept(config);
    return kept;
}

// A call from the kept tables.
double EvaluateFromKeptTables(ExportId id, const StartupConfiguration &config, double first, double second) {
    KeptState &kept = Kept(config);
    CachedCallTables tables;
    kept.tables.Acquire(&tables);
    return EvaluateExport(Describe(id), kept.units[int(id)], tables.source(), first, second);
}

__attribute__((noinline)) double *RunExport(ExportId id, const double *first, const double *second) {
    const int failure = CallPropertyFunction(id, first, second, &tResultSlots[int(id)]);
    if (failure != 0) return platform::FailExport(failure);
    return &tResultSlots[int(id)];
}

}  // namespace

int CallPropertyFunction(ExportId id, const double *first, const double *second, double *answer) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    int failure = 0;
    try {
        const StartupConfiguration &config = Startup();
        if (config.cacheTables) {
            *answer = EvaluateFromKeptTables(id, config, ArgumentAt(first), ArgumentAt(second));
        } else {
            const ExportDescriptor &fn = Describe(id);
            const TableSource tables = FileTableSource(config.dataDirectory);
            *answer = EvaluateExport(fn, ResolveUnits(fn, config), tables, ArgumentAt(first), ArgumentAt(second));
        }
        RecordLastFailure(0);
    } catch (const LibraryFailure &f) {
        failure = f.code;
        RecordLastFailure(f.code, f.path);
    }
    platform::LeaveLibraryArithmetic(saved);
    return failure;
}

}  // namespace rudid

using rudid::ExportId;
using rudid::RunExport;

extern "C" {

#define RUDID_EXPORT_WRAPPER_1(name) \
    RUDID_API double *RUDID_CALL name(double arg1) { return RunExport(ExportId::name, &arg1, nullptr); }
#define RUDID_EXPORT_WRAPPER_2(name)                                     \
    RUDID_API double *RUDID_CALL name(double arg1, double arg2) {        \
        return RunExport(ExportId::name, &arg1, &arg2);                  \
    }
#define RUDID_EXPORT_WRAPPER(name, ordinal, arity, ...) RUDID_EXPORT_WRAPPER_##arity(name)
RUDID_PROPERTY_FUNCTIONS(RUDID_EXPORT_WRAPPER)
#undef RUDID_EXPORT_WRAPPER

RUDID_API int RUDID_CALL RudidLastError(void) { return rudid::LastFailureCode(); }
RUDID_API const char *RUDID_CALL RudidLastErrorMessage(void) { return rudid::LastFailureMessage(); }
RUDID_API const char *RUDID_CALL RudidStartupMessage(void) { return rudid::Startup().startupMessage; }
RUDID_API const char *RUDID_CALL RudidDataDirectory(void) { return rudid::Startup().dataDirectory; }

}  // extern "C"
