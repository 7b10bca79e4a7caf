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
    const std::size_t length = std::strlen(text);
    if (buffer && size > 0) {
        const std::size_t copied = length < std::size_t(size) ? length : std::size_t(size) - 1;
        std::memcpy(buffer, text, copied);
        buffer[copied] = '\0';
    }
    return int(length);
}

}  // extern "C"
