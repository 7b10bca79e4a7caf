// The rows of a batch call, for RudidEvaluate.
#pragma once

#include <cstddef>

#include "api/call_frame.h"
#include "api/export_table.h"
#include "config/startup.h"
#include "tables/process_table_cache.h"

namespace rudid {

// Evaluates n rows of one export under a configuration and returns how many
// failed; result[i] and failure[i] are what the single call gives for row i
// (NaN and the failure code when it fails). boundFirst, statistics, flags
// and answer as EvaluateRows takes them. second may be null for a
// one-argument export. kept: the tables kept in memory to read the rows
// from (what the flags work out from them stays with the calling thread
// for its later calls on the same snapshots); null reads each file once
// for this call.
// Runs under the caller's arithmetic environment; raises std::bad_alloc.
int EvaluateBatch(const ExportDescriptor &fn, const StartupConfiguration &config, std::size_t n,
                  const double *first, const double *second, double *result, int *failure, bool boundFirst,
                  LookupStatistics *statistics = nullptr, unsigned *flags = nullptr, Answer answer = Answer::Table,
                  const CachedCallTables *kept = nullptr);

// The same for the columns of EvaluateColumns (call_frame.h): exports of
// one family and arguments, each row looked up once for all of them.
int EvaluateBatchColumns(const Column *columns, int count, const StartupConfiguration &config, std::size_t n,
                         const double *first, const double *second, bool boundFirst,
                         LookupStatistics *statistics = nullptr, Answer answer = Answer::Table,
                         const CachedCallTables *kept = nullptr);

}  // namespace rudid
