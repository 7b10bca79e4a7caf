// The skeleton that every property function runs.
#pragma once

#include <cstddef>

#include "api/export_table.h"
#include "config/startup.h"
#include "tables/table_source.h"
#include "common/real48.h"

namespace rudid {

struct FlagFacts;  // tables/cell_facts.h

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

// Which answer a call gives: the tables' linear interpolation, or the
// refined one (tables/refined_lookup.h) from the same tables. Both run the
// same skeleton: argument rounding, units, range tests and error codes.
enum class Answer { Table, Refined };

// Rounds the arguments to Real48, converts them into internal units, runs the
// range tests in order, asks the lookup, and converts the chosen output back
// into the user's unit. Returns the property or a negative error code; raises
// LibraryFailure for a failure that has no error code. `second` is ignored by
// one-argument exports. The table lookup decides on the bound first, as a
// batch row does.
double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units,
                      const TableSource &tables, double first, double second, Answer answer = Answer::Table);

// How many rows of a batch reached their lookup, and how many of those took
// a decision on exact values because the double-precision bound left it
// open (or the records were not safe for the bound).
struct LookupStatistics {
    std::size_t lookups = 0;
    std::size_t exactFallbacks = 0;
};

// EvaluateExport over n rows: result[i] is its answer for row i, or NaN with
// failure[i] the code of the LibraryFailure it raised (else 0). second is
// read only for a two-argument export. Returns how many rows failed.
// boundFirst: the lookups decide on the double-precision bound first
// (BoundedDecisions), which gives the same answers with fewer exact
// interpolations. statistics, when given, counts the lookups; flags, when
// given, receives each row's state flags (0 for a row refused or failed):
// for a refined answer the flags that still apply to it (tables/refined_flags.h).
// A refined answer ignores boundFirst and counts no lookups.
int EvaluateRows(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, std::size_t n,
                 const double *first, const double *second, double *result, int *failure, bool boundFirst,
                 LookupStatistics *statistics = nullptr, unsigned *flags = nullptr, Answer answer = Answer::Table);

// One export's answers over the rows of a batch: where its results,
// failures and flags (null for none) go, as EvaluateRows writes them.
struct Column {
    const ExportDescriptor *fn;
    double *result;
    int *failure;
    unsigned *flags;
};
// At most this many exports share a family and arguments: an inverse
// family's temperature, two other properties and quality.
constexpr int kMostColumns = 4;

// EvaluateRows for up to kMostColumns exports of one family with the same
// arguments (AQPPTH, AQPPTS and AQPPTV, for example), units[c] resolved
// for columns[c]: each row is looked up once for all their outputs, and
// each column gets exactly what EvaluateRows gives its export. Returns how
// many answers failed.
// facts: null, or the memo of the facts of the cells the rows' flags read,
// kept for the call (tables/cell_facts.h).
int EvaluateColumns(const Column *columns, int count, const ExportUnits *units, const TableSource &tables,
                    std::size_t n, const double *first, const double *second, bool boundFirst,
                    LookupStatistics *statistics = nullptr, Answer answer = Answer::Table,
                    FlagFacts *facts = nullptr);

// The file that the first failed row of this thread's last EvaluateRows
// concerned; "" when no row failed or its failure concerned no file.
const char *FirstFailedFile();

}  // namespace rudid
