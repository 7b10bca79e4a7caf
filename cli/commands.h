// The tool's commands. Each returns the process's exit status.
#pragma once

#include <string>
#include <vector>

#include "export_table.h"

namespace rudid::cli {

constexpr int kExitOk = 0;
constexpr int kExitOutOfRange = 1;  // a state outside the tables, or a malformed input row
constexpr int kExitUsage = 2;       // the command line itself is wrong
constexpr int kExitFailure = 3;     // the library failed without a result, or a file could not be written

struct OutputOptions {
    int digits = 0;           // significant digits; 0 for the shortest exact text
    bool valueOnly = false;   // the number alone, without its unit
};

// rudid32 AQPPHT 10 3000
int RunCall(const ExportInfo &info, const std::vector<std::string> &arguments, const OutputOptions &output);

// rudid32 state p=10 h=3000
int RunState(const std::vector<std::string> &assignments, const OutputOptions &output);

// rudid32 batch AQPPHT < rows.csv
int RunBatch(const ExportInfo &info, bool skipHeader, const OutputOptions &output);

// rudid32 units, rudid32 units set pressure psi
int RunUnitsList();
int RunUnitsSet(const std::string &quantity, const std::string &unit);

// rudid32 diagram ts.svg
int RunDiagram(const std::string &path);

}  // namespace rudid::cli
