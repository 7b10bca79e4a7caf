// RudidEvaluate: one of the property functions over arrays of arguments.
// Every row gives exactly the double the single call would have given; the
// rows share one table cache, so each table file is opened once per call.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <cmath>
#include <memory>
#include <new>

#include "api/batch.h"
#include "api/call_frame.h"
#include "api/context.h"
#include "platform/platform.h"
#include "tables/call_table_cache.h"
#include "tables/cell_facts.h"
#include "common/failure.h"

namespace rudid {

namespace {

// From this many rows on, a call without kept tables remembers the facts of
// the cells its rows' flags read; fewer work out each row's cell afresh.
constexpr std::size_t kRowsForFlagFacts = 8;

}  // namespace

int EvaluateBatch(const ExportDescriptor &fn, const StartupConfiguration &config, std::size_t n,
                  const double *first, const double *second, double *result, int *failure, bool boundFirst,
                  LookupStatistics *statistics, unsigned *flags, Answer answer, const TableSource *kept) {
    const ExportUnits units = ResolveUnits(fn, config);
    std::unique_ptr<CallTableCache> cache;
    if (!kept) cache = std::make_unique<CallTableCache>(config.dataDirectory, n);
    TableSource tables = kept ? *kept : cache->source();
    std::unique_ptr<FlagFacts> facts;
    if (flags && answer == Answer::Table && n >= kRowsForFlagFacts && !tables.flagFacts) {
        facts = std::make_unique<FlagFacts>();
        tables.flagFacts = facts.get();
    }
    return EvaluateRows(fn, units, tables, n, first, second, result, failure, boundFirst, statistics, flags, answer);
}

}  // namespace rudid

extern "C" RUDID_API int RUDID_CALL RudidEvaluate(const char *name, size_t n, const double *arg1,
                                                  const double *arg2, double *result, int *failure) {
    // Each file is read once for the call, whatever the INI says of
    // keeping the tables.
    return rudid::EvaluateByName(rudid::DefaultContext(), name, rudid::Answer::Table, false, n, arg1, arg2, result,
                                 failure, nullptr, false);
}

extern "C" RUDID_API int RUDID_CALL RudidEvaluateWithFlags(const char *name, size_t n, const double *arg1,
                                                           const double *arg2, double *result, int *failure,
                                                           int *flags) {
    return rudid::EvaluateByName(rudid::DefaultContext(), name, rudid::Answer::Table, false, n, arg1, arg2, result,
                                 failure, flags, true);
}
