// The skeleton that every property function runs.
#pragma once

#include "api/export_table.h"
#include "config/startup.h"
#include "tables/table_source.h"
#include "common/real48.h"

namespace rudid {

// The factors of the units that the configuration selects for an export's
// arguments and result. Every name a selection can give for these quantities
// is recognised, so resolving cannot fail.
struct ExportUnits {
    Extended first;
    Extended second;  // unused for a quality or a one-argument export
    Extended result;  // unused for a quality result
};
ExportUnits ResolveUnits(const ExportDescriptor &fn, const StartupConfiguration &config);

// Rounds the arguments to Real48, converts them into internal units, runs the
// range tests in order, asks the lookup, and converts the chosen output back
// into the user's unit. Returns the property or a negative error code; raises
// LibraryFailure for a failure that has no error code. `second` is ignored by
// one-argument exports.
double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units,
                      const TableSource &tables, double first, double second);

}  // namespace rudid
