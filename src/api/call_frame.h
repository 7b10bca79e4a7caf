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
    // Whether a value needs converting at all: false for a quality, an
    // argument that is not there, and a unit that is the internal one.
    bool convertFirst = false;
    bool convertSecond = false;
    bool convertResult = false;
};
ExportUnits ResolveUnits(const ExportDescriptor &fn, const StartupConfiguration &config);

// Rounds the arguments to Real48, converts them into internal units, runs the
// range tests in order, asks the lookup, and converts the chosen output back
// into the user's unit. Returns the property or a negative error code; raises
// LibraryFailure for a failure that has no error code. `second` is ignored by
// one-argument exports. fastPaths lets the common rows take the straight-
// line lookups, which give the same results on tables held in memory.
double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units,
                      const TableSource &tables, double first, double second, bool fastPaths = false);

}  // namespace rudid
