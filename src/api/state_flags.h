// The state flags of a row that its export answered, read from the path
// that the row's lookup took.
#pragma once

#include "api/call_frame.h"
#include "api/export_table.h"
#include "common/real48.h"
#include "tables/lookup_path.h"
#include "tables/table_source.h"

namespace rudid {

// first and second: the arguments in internal units, as the row took them
// (second unused by a one-argument export). Never raises: a table that
// cannot be read on the way gives no flags.
unsigned RowFlags(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
                  const LookupPath &place, Extended answer);

// The flags of one state, evaluated as a batch of one row under the
// library's arithmetic: the table answer's (RudidStateFlags) or the refined
// answer's (RudidRefinedFlags). 0 for a state the export refuses or fails
// on. The arguments are read through their addresses only once the
// library's arithmetic is in force: a double copied by value may pass
// through the x87 unit on i686, where a signalling NaN traps a host that
// unmasks invalid operations.
int FlagsOfOneState(ExportId id, const double *first, const double *second, Answer answer);

}  // namespace rudid
