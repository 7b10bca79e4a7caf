// The property functions in the shape a Visual Basic for Applications
// Declare statement can call: arguments by value, the answer returned as a
// double, the outcome through a pointer to a 32-bit integer (a ByRef Long),
// __stdcall on 32-bit Windows. They never raise: a spreadsheet cell that
// asks for an impossible state must get an error value, not take Excel down.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "api/call_frame.h"
#include "api/last_failure.h"
#include "api/property_call.h"
#include "common/failure.h"

namespace rudid {

namespace {

// Each error code with the bits of the double that carries it, fixed at
// build time.
struct ErrorCodeBits {
    int code;
    std::uint64_t bits;
};
constexpr ErrorCodeBits Bits(int code) { return {code, std::bit_cast<std::uint64_t>(double(code))}; }
constexpr ErrorCodeBits kErrorCodes[] = {
    Bits(RUDID_PRESSURE_OUT_OF_RANGE),   Bits(RUDID_TEMPERATURE_OUT_OF_RANGE),
    Bits(RUDID_QUALITY_OUT_OF_RANGE),    Bits(RUDID_PRESSURE_ABOVE_CRITICAL),
    Bits(RUDID_TEMPERATURE_ABOVE_CRITICAL), Bits(RUDID_ENTROPY_OUTSIDE_TABLE),
    Bits(RUDID_VOLUME_OUTSIDE_TABLE),    Bits(RUDID_ENTHALPY_OUTSIDE_TABLE),
    Bits(RUDID_ON_SATURATION_LINE),
};

// The error code that an answer is, or 0 for a property. Compared as bits:
// the caller's floating-point environment is back in force here, and an
// integer comparison cannot trap or raise a flag in it.
int ErrorCodeOf(double answer) {
    std::uint64_t bits;
    std::memcpy(&bits, &answer, sizeof bits);
    for (const ErrorCodeBits &error : kErrorCodes)
        if (bits == error.bits) return error.code;
    return 0;
}

__attribute__((noinline)) double RunVbExport(ExportId id, const double *first, const double *second,
                                             int *code) {
    // Not initialised: a constant stored here would be loaded through the
    // x87 unit on i686 before the library's control word is in force.
    double answer;
    const int failure = CallPropertyFunction(id, first, second, &answer);
    if (code) *code = failure != 0 ? failure : ErrorCodeOf(answer);
    return failure != 0 ? std::numeric_limits<double>::quiet_NaN() : answer;
}

// The text of a code as RudidVbMessage gives it, in `text`.
void MessageOf(const char *function, int code, char *text, std::size_t size) {
    text[0] = '\0';
    if (code < 0) {
        const int index = function ? RudidFunctionIndex(function) : -1;
        const char *range = RudidRangeMessage(index, code);
        if (range) std::snprintf(text, size, "%s", range);
    } else if (code > 0) {
        const char *path = code == LastFailureCode() ? LastFailurePath() : "";
        std::snprintf(text, size, path[0] != '\0' ? "%s: %s" : "%s", RudidFailureMessage(code), path);
    }
}

// The failure of this thread's last RudidVbContextEvaluate that failed, for
// RudidVbContextMessage to name its file.
struct ContextFailure {
    const RudidContext *context = nullptr;
    int code = 0;
    char path[kMaxPathSize] = "";
};
thread_local ContextFailure tContextFailure;

// Copies text into a VBA string buffer as RudidVbMessage does; the length of
// the whole text.
int CopyOut(const char *text, char *buffer, int size) {
    const std::size_t length = std::strlen(text);
    if (buffer && size > 0) {
        const std::size_t copied = length < std::size_t(size) ? length : std::size_t(size) - 1;
        std::memcpy(buffer, text, copied);
        buffer[copied] = '\0';
    }
    return int(length);
}

// One state in a context. The arguments come by address so that nothing
// loads them before RudidContextEvaluate puts the library's control word in
// force; `answer` is written only by it (see RunVbExport).
__attribute__((noinline)) double RunVbContextEvaluate(RudidContext *context, const char *function, int options,
                                                      const double *first, const double *second, int *code) {
    double answer;
    int failure = 0;
    const int status = RudidContextEvaluate(context, function, options, 1, first, second, &answer, &failure, nullptr);
    int outcome;
    if (status < 0) {
        outcome = status;
    } else if (failure != 0) {
        outcome = failure;
        tContextFailure.context = context;
        tContextFailure.code = failure;
        std::snprintf(tContextFailure.path, sizeof tContextFailure.path, "%s", FirstFailedFile());
    } else {
        outcome = ErrorCodeOf(answer);
    }
    if (code) *code = outcome;
    return status < 0 || failure != 0 ? std::numeric_limits<double>::quiet_NaN() : answer;
}

// One property of the whole state of a pair in a context: the double and
// its code as the other twins give them, a range error code as the double
// too, RUDID_NO_STATE, RUDID_NO_QUALITY or a failure code with a quiet NaN.
// The arguments come by address, as RunVbContextEvaluate's do.
__attribute__((noinline)) double RunVbSolveState(RudidContext *context, const char *given, int options,
                                                 const double *first, const double *second, int property,
                                                 int *code) {
    double states[RUDID_STATE_PROPERTIES];
    int codes[RUDID_STATE_PROPERTIES];
    // Always through the solver, which puts the library's control word in
    // force: no path loads a double under the host's word.
    const int status = RudidSolveStates(context, given, options, 1, first, second, states, codes, nullptr, nullptr);
    const bool known = property >= 0 && property < RUDID_STATE_PROPERTIES;
    const int outcome = !known ? RUDID_BAD_ARGUMENTS : status < 0 ? status : codes[property];
    if (code) *code = outcome;
    if (outcome == 0) return states[property];
    const bool rangeError = outcome < 0 && outcome != RUDID_NO_STATE && outcome != RUDID_NO_QUALITY &&
                            outcome != RUDID_UNKNOWN_FUNCTION && outcome != RUDID_BAD_ARGUMENTS &&
                            outcome != RUDID_OUT_OF_MEMORY;
    return rangeError ? double(outcome) : std::numeric_limits<double>::quiet_NaN();
}

__attribute__((noinline)) double RunVbContextProperty(RudidContext *context, const char *property,
                                                      const char *given, int options, const double *first,
                                                      const double *second, int *code) {
    double value;
    int failure = 0;
    // Always through the library's entry point, which puts its control word
    // in force before a double is loaded.
    const int status = RudidContextProperty(context, property, given, options, 1, first, second, &value, &failure,
                                            nullptr);
    const int outcome = status < 0 ? status : failure;
    if (code) *code = outcome;
    return outcome == 0 ? value : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

}  // namespace rudid

using rudid::ExportId;
using rudid::RunVbExport;

extern "C" {

// The wrappers take the addresses of their arguments: the call skeleton
// reads them only under the library's control word (see exports.cpp).
#define RUDID_VB_WRAPPER_1(name)                                                 \
    RUDID_API double RUDID_VB_CALL RudidVb##name(double arg1, int *code) {       \
        return RunVbExport(ExportId::name, &arg1, nullptr, code);                \
    }
#define RUDID_VB_WRAPPER_2(name)                                                  \
    RUDID_API double RUDID_VB_CALL RudidVb##name(double arg1, double arg2, int *code) { \
        return RunVbExport(ExportId::name, &arg1, &arg2, code);                   \
    }
#define RUDID_VB_WRAPPER(name, ordinal, arity, ...) RUDID_VB_WRAPPER_##arity(name)
RUDID_PROPERTY_FUNCTIONS(RUDID_VB_WRAPPER)
#undef RUDID_VB_WRAPPER

RUDID_API int RUDID_VB_CALL RudidVbMessage(const char *function, int code, char *buffer, int size) {
    // Longer than every range message, and than a failure message with a path.
    char text[rudid::kMaxPathSize + 160];
    rudid::MessageOf(function, code, text, sizeof text);
    return rudid::CopyOut(text, buffer, size);
}

RUDID_API RudidContext *RUDID_VB_CALL RudidVbOpen(const char *directory, const char *units, int options) {
    return RudidOpen(directory, units, options);
}

RUDID_API void RUDID_VB_CALL RudidVbClose(RudidContext *context) {
    if (rudid::tContextFailure.context == context && context != nullptr) rudid::tContextFailure = {};
    RudidClose(context);
}

RUDID_API double RUDID_VB_CALL RudidVbContextEvaluate(RudidContext *context, const char *function, int options,
                                                      double arg1, double arg2, int *code) {
    return rudid::RunVbContextEvaluate(context, function, options, &arg1, &arg2, code);
}

RUDID_API int RUDID_VB_CALL RudidVbContextFlags(RudidContext *context, const char *function, int options,
                                                double arg1, double arg2) {
    double answer;
    int failure = 0, flags = 0;
    const int status = RudidContextEvaluate(context, function, options, 1, &arg1, &arg2, &answer, &failure, &flags);
    return status < 0 ? status : flags;
}

RUDID_API double RUDID_VB_CALL RudidVbSolveState(RudidContext *context, const char *given, int options,
                                                 double arg1, double arg2, int property, int *code) {
    return rudid::RunVbSolveState(context, given, options, &arg1, &arg2, property, code);
}

RUDID_API double RUDID_VB_CALL RudidVbContextProperty(RudidContext *context, const char *property,
                                                      const char *given, int options, double arg1, double arg2,
                                                      int *code) {
    return rudid::RunVbContextProperty(context, property, given, options, &arg1, &arg2, code);
}

RUDID_API int RUDID_VB_CALL RudidVbContextMessage(const RudidContext *context, const char *function, int code,
                                                  char *buffer, int size) {
    using rudid::tContextFailure;
    char text[rudid::kMaxPathSize + 160];
    text[0] = '\0';
    if (code == 0) {
        if (!context) std::snprintf(text, sizeof text, "%s", RudidContextMessage(nullptr));
    } else if (code == RUDID_UNKNOWN_FUNCTION) {
        std::snprintf(text, sizeof text, "no property function of that name: %s", function ? function : "");
    } else if (code == RUDID_BAD_ARGUMENTS) {
        std::snprintf(text, sizeof text, "the options ask for both answers, or hold unknown bits");
    } else if (code == RUDID_OUT_OF_MEMORY) {
        std::snprintf(text, sizeof text, "out of memory");
    } else if (code < 0) {
        rudid::MessageOf(function, code, text, sizeof text);
    } else {
        const bool named = tContextFailure.context == context && tContextFailure.code == code &&
                           tContextFailure.path[0] != '\0';
        std::snprintf(text, sizeof text, named ? "%s: %s" : "%s", RudidFailureMessage(code), tContextFailure.path);
    }
    return rudid::CopyOut(text, buffer, size);
}

}  // extern "C"
