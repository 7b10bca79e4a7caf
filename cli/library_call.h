// One call of a property function and what came back: a property, an error
// code for a state outside the tables, or a failure without a result. The
// words for every code are the library's.
#pragma once

#include <string>

#include "export_table.h"

namespace rudid::cli {

enum class OutcomeKind { Value, RangeError, Failure };

struct Outcome {
    OutcomeKind kind = OutcomeKind::Value;
    double value = 0;     // the property (Value)
    int code = 0;         // the error code (RangeError) or failure code (Failure)
    std::string message;  // what the code means
};

// Calls the export once; second is ignored by the one-argument exports.
Outcome CallExport(const ExportInfo &info, double first, double second);

// Reads the double that a property function answered with.
Outcome ClassifyResult(const ExportInfo &info, double result);

// The outcome of a row that failed without a result, by its failure code.
Outcome FailureOutcome(int code);

}  // namespace rudid::cli
