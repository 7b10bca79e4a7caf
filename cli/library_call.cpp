#include "library_call.h"

#include "rudid32.h"

namespace rudid::cli {

namespace {

// The library reserves these exact values for its error codes (-1006 to
// -1011 are not used); any other double it answers with is a property.
bool IsErrorCode(double result) {
    if (!(result >= -1015 && result <= -1001) || result != static_cast<int>(result)) return false;
    const int code = static_cast<int>(result);
    return code <= -1012 || code >= -1005;
}

}  // namespace

std::string ErrorCodeMeaning(int code, ExportFamily family) {
    const bool saturation =
        family == ExportFamily::SaturationByPressure || family == ExportFamily::SaturationByTemperature;
    switch (code) {
        case -1001:
            return saturation ? "pressure below 0.01 bar" : "pressure below 0.01 bar or above 1000 bar";
        case -1002:
            return family == ExportFamily::PressureTemperature ? "temperature below 0 C or above 800 C"
                                                               : "temperature below 0 C";
        case -1003: return "quality below 0 or above 1";
        case -1004: return "pressure above 221.2 bar, the critical pressure";
        case -1005: return "temperature above 374.15 C, the critical temperature";
        case -1012: return "entropy outside the table at this pressure";
        case -1013: return "specific volume outside the table at this pressure";
        case -1014: return "enthalpy outside the table at this pressure";
        case -1015: return "pressure and temperature on the saturation line (give a quality instead)";
        default: return "unknown error code " + std::to_string(code);
    }
}

std::string FailureMessage(int code) {
    switch (code) {
        case 2: return "File not found";
        case 3: return "Invalid filename";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 100: return "Read beyond end of file";
        case 101: return "Disk full";
        case 106: return "Invalid numeric input";
        case 200: return "Division by zero";
        case 205: return "Floating point overflow";
        case 207: return "Invalid floating point operation";
        default: return "I/O error " + std::to_string(code);
    }
}

Outcome ClassifyResult(const ExportInfo &info, double result) {
    if (!IsErrorCode(result)) return {OutcomeKind::Value, result, 0, {}};
    const int code = static_cast<int>(result);
    return {OutcomeKind::RangeError, 0, code, ErrorCodeMeaning(code, info.family)};
}

Outcome FailureOutcome(int code) { return {OutcomeKind::Failure, 0, code, FailureMessage(code)}; }

Outcome CallExport(const ExportInfo &info, double first, double second) {
    const double *result = info.arity == 1 ? info.one(first) : info.two(first, second);
    if (!result) {
        const char *message = RudidLastErrorMessage();
        return {OutcomeKind::Failure, 0, RudidLastError(), message ? message : ""};
    }
    return ClassifyResult(info, *result);
}

}  // namespace rudid::cli
