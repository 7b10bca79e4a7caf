// The tool's commands. Each returns the process's exit status.
#pragma once

#include <string>
#include <vector>

#include "export_table.h"
#include "library_call.h"
#include "number_text.h"

namespace rudid::cli {

constexpr int kExitOk = 0;
constexpr int kExitOutOfRange = 1;  // a state outside the tables, or a malformed input row
constexpr int kExitUsage = 2;       // the command line itself is wrong
constexpr int kExitFailure = 3;     // the library failed without a result, or a file could not be written
constexpr int kExitCaution = 4;     // --strict: answered, but where the tables are known to be poor

struct OutputOptions {
    int digits = kDefaultDigits;  // significant digits; 0 for the shortest exact text
    bool valueOnly = false;       // the number alone, without its unit
    bool strict = false;          // an answer the library flags as poor is a failure (kExitCaution)
};

// A property, an error code in words, or a failure with its code.
std::string DescribeOutcome(const Outcome &outcome, const std::string &unit, const OutputOptions &output);

// rudid32 FUNCTION 10 3000: one property function
int RunCall(const ExportInfo &info, const std::vector<std::string> &arguments, const OutputOptions &output);

// rudid32 state p=10 h=3000
int RunState(const std::vector<std::string> &assignments, const OutputOptions &output);

// What rudid32 batch evaluates: one property function, or whole states
// from a pair of keys (stateKeys "pT", "ph", ...).
struct BatchJob {
    const ExportInfo *function = nullptr;
    std::string stateKeys;
    bool skipHeader = false;
    char delimiter = 0;              // of the input: ',', ';', '\t'; 0 to tell from the first line
    std::vector<std::string> keep;   // columns passed through: header names, or numbers from 1
    bool flags = true;  // the flags column and the caution status it gives
    unsigned threads = 1;
};

// rudid32 batch FUNCTION < rows.csv, rudid32 batch state p h < rows.csv
int RunBatch(const BatchJob &job, const OutputOptions &output);

// rudid32 units, rudid32 units set --user|--installation pressure psi
enum class UnitScope { Unsaid, User, Installation };
int RunUnitsList();
int RunUnitsSet(const std::string &quantity, const std::string &unit, UnitScope scope);

// What rudid32 diagram draws.
struct DiagramOptions {
    bool mollier = false;                // h-s instead of T-s
    std::string range;                   // "s=5:9,T=100:600" (h for the Mollier chart); "" for all
    std::string size;                    // "1200x800"; "" for the default
    std::string pointsFile;              // states and process lines to draw; "" for none
    bool strict = false;                 // a state drawn with a caution is a failure (kExitCaution)
};

// rudid32 diagram ts.svg, rudid32 diagram --mollier hs.svg
int RunDiagram(const std::string &path, const DiagramOptions &options);

}  // namespace rudid::cli
