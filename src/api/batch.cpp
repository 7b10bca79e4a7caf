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

// What the flags have worked out from one set of kept snapshots, for the
// thread's calls on them: the facts depend on the snapshots' bytes only,
// which never change. Replaced with the snapshots.
struct KeptFacts {
    std::uint64_t cache = 0, generation = 0;
    std::unique_ptr<FlagFacts> facts;
};
thread_local KeptFacts tKeptFacts;

FlagFacts *FactsOfKeptTables(const CachedCallTables &kept) {
    KeptFacts &held = tKeptFacts;
    if (!held.facts || held.cache != kept.cache || held.generation != kept.generation) {
        held.facts = std::make_unique<FlagFacts>();
        held.facts->lasting = true;
        held.cache = kept.cache, held.generation = kept.generation;
    }
    return held.facts.get();
}

}  // namespace

int EvaluateBatchColumns(const Column *columns, int count, const StartupConfiguration &config, std::size_t n,
                         const double *first, const double *second, bool boundFirst, LookupStatistics *statistics,
                         Answer answer, const CachedCallTables *kept) {
    ExportUnits units[kMostColumns];
    bool flags = false;
    for (int c = 0; c < count; ++c) {
        units[c] = ResolveUnits(*columns[c].fn, config);
        flags = flags || columns[c].flags;
    }
    std::unique_ptr<CallTableCache> cache;
    if (!kept) cache = std::make_unique<CallTableCache>(config.dataDirectory, n);
    const TableSource tables = kept ? kept->source() : cache->source();
    std::unique_ptr<FlagFacts> callFacts;
    FlagFacts *facts = nullptr;
    if (flags && answer == Answer::Table) {
        if (kept)
            facts = FactsOfKeptTables(*kept);
        else if (n >= kRowsForFlagFacts)
            facts = (callFacts = std::make_unique<FlagFacts>()).get();
    }
    return EvaluateColumns(columns, count, units, tables, n, first, second, boundFirst, statistics, answer, facts);
}

int EvaluateBatch(const ExportDescriptor &fn, const StartupConfiguration &config, std::size_t n,
                  const double *first, const double *second, double *result, int *failure, bool boundFirst,
                  LookupStatistics *statistics, unsigned *flags, Answer answer, const CachedCallTables *kept) {
    const Column column{&fn, result, failure, flags};
    return EvaluateBatchColumns(&column, 1, config, n, first, second, boundFirst, statistics, answer, kept);
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
