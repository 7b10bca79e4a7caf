// Failures that are not states out of range: input/output errors on the
// data files and floating-point errors. Inside the library they travel as a
// C++ exception; the exported functions turn them into the platform's way of
// reporting a failure and never let the exception cross the C boundary.
#pragma once

namespace rudid {

enum FailureCode : int {
    kFileNotFound = 2,
    kInvalidFilename = 3,
    kTooManyOpenFiles = 4,
    kFileAccessDenied = 5,
    kReadBeyondEndOfFile = 100,
    kDiskFull = 101,
    kInvalidNumericInput = 106,
    kDivisionByZero = 200,
    kFloatingPointOverflow = 205,
    kInvalidFloatingPointOperation = 207,
};

struct LibraryFailure {
    int code;
};

[[noreturn]] void RaiseFailure(int code);

// The message for a failure code: "File not found", "Floating point
// overflow", ..., or "I/O error <code>" for a code without a text of its own.
// Writes at most size - 1 characters and a terminating zero.
void FailureMessage(int code, char *buffer, int size);

}  // namespace rudid
