// One call of a property function, as every entry point that takes one state
// runs it: the cdecl exports and their twins for Visual Basic.
#pragma once

#include "api/export_table.h"

namespace rudid {

// Runs property function `id` under the library's arithmetic environment,
// reading the doubles at `first` and `second` only once that environment is
// in force (`second` may be null for a one-argument function). Returns 0 and
// writes the answer (the property or a negative error code) to *answer, or
// returns the failure code and leaves *answer alone. Records the outcome for
// RudidLastError either way; never throws.
int CallPropertyFunction(ExportId id, const double *first, const double *second, double *answer);

}  // namespace rudid
