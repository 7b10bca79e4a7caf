// Failures that are not states out of range: input/output errors on the
// data files and floating-point errors. Inside the library they travel as a
// C++ exception; the exported functions turn them into the platform's way of
// reporting a failure and never let the exception cross the C boundary.
#pragma once

#include <cstddef>

#include "rudid32.h"

namespace rudid {

// The failure codes of the public header, for the library's own sources.
enum FailureCode : int {
    kFileNotFound = RUDID_FILE_NOT_FOUND,
    kInvalidFilename = RUDID_INVALID_FILENAME,
    kTooManyOpenFiles = RUDID_TOO_MANY_OPEN_FILES,
    kFileAccessDenied = RUDID_FILE_ACCESS_DENIED,
    kReadBeyondEndOfFile = RUDID_READ_BEYOND_END_OF_FILE,
    kDiskFull = RUDID_DISK_FULL,
    kInvalidNumericInput = RUDID_INVALID_NUMERIC_INPUT,
    kDivisionByZero = RUDID_DIVISION_BY_ZERO,
    kFloatingPointOverflow = RUDID_FLOATING_POINT_OVERFLOW,
    kInvalidFloatingPointOperation = RUDID_INVALID_FLOATING_POINT_OPERATION,
    kDeviceIoError = RUDID_DEVICE_IO_ERROR,
};

// Room for the path of a data file: the data directory and a file name.
constexpr std::size_t kMaxPathSize = 1024;

struct LibraryFailure {
    int code;
    // The file that could not be opened or read, "" when the failure
    // concerns no file.
    char path[kMaxPathSize];
};

// Raises a failure, naming the file when path is given (cut to fit).
[[noreturn]] void RaiseFailure(int code, const char *path = nullptr);

// The message for a failure code: "File not found", "Floating point
// overflow", ..., or "I/O error <code>" for a code without a text of its own.
// Writes at most size - 1 characters and a terminating zero.
void FailureMessage(int code, char *buffer, int size);

}  // namespace rudid
