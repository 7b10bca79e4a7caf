// One call of a property function and what came back: a property, an error
// code for a state outside the tables, or a failure without a result. The
// words for every code are the library's.
#pragma once

#include <cstddef>
#include <string>

#include "export_table.h"
#include "rudid32.h"

namespace rudid::cli {

enum class OutcomeKind { Value, RangeError, Failure };

struct Outcome {
    OutcomeKind kind = OutcomeKind::Value;
    double value = 0;     // the property (Value)
    int code = 0;         // the error code (RangeError) or failure code (Failure)
    std::string message;  // what the code means
};

// Which answers the calls give: the tables' (RudidEvaluate and the
// exports) or the refined ones (RudidEvaluateRefined). Chosen once, from the
// command line, before the first call; only read afterwards.
void UseRefinedAnswers(bool refined);
bool RefinedAnswers();

// The context every call of the tool runs in: null for the process's
// configuration (ZAREVIRU.INI and default.cfg), or one opened for the
// units chosen for this run. Set once, before the first call.
void UseToolContext(RudidContext *context);
RudidContext *ToolContext();

// Calls the export once; second is ignored by the one-argument exports.
// In the tool's context: RudidContextEvaluate of one row, a failure told
// with the file it concerned and range limits in the context's units.
Outcome CallExport(const ExportInfo &info, double first, double second);

// The export over rows in one call of RudidContextEvaluate in the tool's
// context, else of RudidEvaluate (or RudidEvaluateRefined); the status the
// library returned.
int EvaluateRows(const ExportInfo &info, std::size_t n, const double *first, const double *second,
                 double *results, int *failures);

// Reads the double that a property function answered with.
Outcome ClassifyResult(const ExportInfo &info, double result);

// The outcome of a row that failed without a result, by its failure code.
Outcome FailureOutcome(int code);

}  // namespace rudid::cli
