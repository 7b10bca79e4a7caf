#include "common/failure.h"

#include <cstdio>
#include <cstring>

namespace rudid {

void RaiseFailure(int code, const char *path) {
    LibraryFailure failure{code, {}};
    if (path) std::snprintf(failure.path, sizeof failure.path, "%s", path);
    throw failure;
}

void FailureMessage(int code, char *buffer, int size) {
    const char *text = nullptr;
    switch (code) {
        case kFileNotFound: text = "File not found"; break;
        case kInvalidFilename: text = "Invalid filename"; break;
        case kTooManyOpenFiles: text = "Too many open files"; break;
        case kFileAccessDenied: text = "File access denied"; break;
        case kReadBeyondEndOfFile: text = "Read beyond end of file"; break;
        case kDiskFull: text = "Disk full"; break;
        case kInvalidNumericInput: text = "Invalid numeric input"; break;
        case kDivisionByZero: text = "Division by zero"; break;
        case kFloatingPointOverflow: text = "Floating point overflow"; break;
        case kInvalidFloatingPointOperation: text = "Invalid floating point operation"; break;
        default: break;
    }
    if (text)
        std::snprintf(buffer, size, "%s", text);
    else
        std::snprintf(buffer, size, "I/O error %d", code);
}

}  // namespace rudid
