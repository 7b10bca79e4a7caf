// The flags of one state for the exports that answer them.
#pragma once

#include "api/call_frame.h"
#include "api/export_table.h"

namespace rudid {

// The flags of one state, evaluated as a batch of one row under the
// library's arithmetic: the table answer's (RudidStateFlags) or the refined
// answer's (RudidRefinedFlags). 0 for a state the export refuses or fails
// on. The arguments are read through their addresses only once the
// library's arithmetic is in force: a double copied by value may pass
// through the x87 unit on i686, where a signalling NaN traps a host that
// unmasks invalid operations.
int FlagsOfOneState(ExportId id, const double *first, const double *second, Answer answer);

}  // namespace rudid
