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
// (second unused by a one-argument export); facts: null, or the call's
// memo of the facts of the cells its rows read. Never raises: a table that
// cannot be read on the way gives no flags.
// The family is fn's, known at compile time as the batch's rows know it.
template <ExportFamily kFamily>
unsigned RowFlags(const ExportDescriptor &fn, const TableSource &tables, FlagFacts *facts, Extended first,
                  Extended second, const LookupPath &place, Extended answer);

}  // namespace rudid
