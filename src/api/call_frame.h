// The skeleton that every property function runs.
#pragma once

#include "api/export_table.h"
#include "config/startup.h"
#include "tables/table_source.h"

namespace rudid {

// Rounds the arguments to Real48, converts them into internal units, runs the
// range tests in order, asks the lookup, and converts the chosen output back
// into the user's unit. Returns the property or a negative error code; raises
// LibraryFailure for a failure that has no error code. `second` is ignored by
// one-argument exports.
double EvaluateExport(const ExportDescriptor &fn, const StartupConfiguration &config,
                      const TableSource &tables, double first, double second);

}  // namespace rudid
