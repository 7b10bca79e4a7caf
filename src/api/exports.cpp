// The exported C functions. Each one runs the common skeleton under the
// library's arithmetic environment and hands back the address of its own
// result slot; no C++ exception ever leaves here.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include "api/call_frame.h"
#include "api/last_failure.h"
#include "platform/platform.h"
#include "common/failure.h"

namespace rudid {

namespace {

// One result slot per export and per thread: the double stays readable after
// the call returns and no other thread's call can disturb it.
thread_local double tResultSlots[kExportCount];

double *RunExport(ExportId id, double first, double second) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    int failure = 0;
    try {
        const StartupConfiguration &config = Startup();
        const ExportDescriptor &fn = Describe(id);
        const TableSource tables = FileTableSource(config.dataDirectory);
        tResultSlots[int(id)] = EvaluateExport(fn, ResolveUnits(fn, config), tables, first, second);
    } catch (const LibraryFailure &f) {
        failure = f.code;
    }
    platform::LeaveLibraryArithmetic(saved);
    RecordLastFailure(failure);
    if (failure != 0) return platform::FailExport(failure);
    return &tResultSlots[int(id)];
}

}  // namespace

}  // namespace rudid

using rudid::ExportId;
using rudid::RunExport;

extern "C" {

RUDID_API double *RUDID_CALL AQPPT(double p) { return RunExport(ExportId::AQPPT, p, 0); }
RUDID_API double *RUDID_CALL AQPTP(double t) { return RunExport(ExportId::AQPTP, t, 0); }
RUDID_API double *RUDID_CALL AQPTQH(double t, double x) { return RunExport(ExportId::AQPTQH, t, x); }
RUDID_API double *RUDID_CALL AQPTQS(double t, double x) { return RunExport(ExportId::AQPTQS, t, x); }
RUDID_API double *RUDID_CALL AQPTQV(double t, double x) { return RunExport(ExportId::AQPTQV, t, x); }
RUDID_API double *RUDID_CALL AQPPQH(double p, double x) { return RunExport(ExportId::AQPPQH, p, x); }
RUDID_API double *RUDID_CALL AQPPQS(double p, double x) { return RunExport(ExportId::AQPPQS, p, x); }
RUDID_API double *RUDID_CALL AQPPQV(double p, double x) { return RunExport(ExportId::AQPPQV, p, x); }
RUDID_API double *RUDID_CALL AQPPTH(double p, double t) { return RunExport(ExportId::AQPPTH, p, t); }
RUDID_API double *RUDID_CALL AQPPTS(double p, double t) { return RunExport(ExportId::AQPPTS, p, t); }
RUDID_API double *RUDID_CALL AQPPTV(double p, double t) { return RunExport(ExportId::AQPPTV, p, t); }
RUDID_API double *RUDID_CALL AQPPHT(double p, double h) { return RunExport(ExportId::AQPPHT, p, h); }
RUDID_API double *RUDID_CALL AQPPHS(double p, double h) { return RunExport(ExportId::AQPPHS, p, h); }
RUDID_API double *RUDID_CALL AQPPHV(double p, double h) { return RunExport(ExportId::AQPPHV, p, h); }
RUDID_API double *RUDID_CALL AQPPHQ(double p, double h) { return RunExport(ExportId::AQPPHQ, p, h); }
RUDID_API double *RUDID_CALL AQPPST(double p, double s) { return RunExport(ExportId::AQPPST, p, s); }
RUDID_API double *RUDID_CALL AQPPSH(double p, double s) { return RunExport(ExportId::AQPPSH, p, s); }
RUDID_API double *RUDID_CALL AQPPSV(double p, double s) { return RunExport(ExportId::AQPPSV, p, s); }
RUDID_API double *RUDID_CALL AQPPSQ(double p, double s) { return RunExport(ExportId::AQPPSQ, p, s); }
RUDID_API double *RUDID_CALL AQPPVT(double p, double v) { return RunExport(ExportId::AQPPVT, p, v); }
RUDID_API double *RUDID_CALL AQPPVH(double p, double v) { return RunExport(ExportId::AQPPVH, p, v); }
RUDID_API double *RUDID_CALL AQPPVS(double p, double v) { return RunExport(ExportId::AQPPVS, p, v); }
RUDID_API double *RUDID_CALL AQPPVQ(double p, double v) { return RunExport(ExportId::AQPPVQ, p, v); }

RUDID_API int RUDID_CALL RudidLastError(void) { return rudid::LastFailureCode(); }
RUDID_API const char *RUDID_CALL RudidLastErrorMessage(void) { return rudid::LastFailureMessage(); }
RUDID_API const char *RUDID_CALL RudidStartupMessage(void) { return rudid::Startup().startupMessage; }
RUDID_API const char *RUDID_CALL RudidDataDirectory(void) { return rudid::Startup().dataDirectory; }

}  // extern "C"
