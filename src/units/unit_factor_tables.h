// The recognition tables: for each quantity code the accepted unit names, in
// upper case, with the factor each stands for. The tables themselves are
// generated (unit_factor_tables.cpp, from tools/unit_factors.py).
#pragma once

#include "common/real48.h"
#include "units/quantity.h"

namespace rudid {

// The number of internal units in one unit of the name: internal value =
// given value x factor. For temperature (code 6) a scale selector instead:
// 0 Celsius (the internal scale), 1 Fahrenheit, -1 Kelvin.
using UnitFactor = Real48;

constexpr int kMaxNamesPerRow = 4;

// One or more names (unused slots null) sharing one factor.
struct UnitNameRow {
    const char *names[kMaxNamesPerRow];
    UnitFactor factor;
};

struct RecognitionTable {
    const UnitNameRow *rows;  // null for a code without a table
    int rowCount;
};

// The table of a code; codes 11, 15 to 18, 25 and codes past 25 have none.
RecognitionTable RecognitionTableFor(QuantityCode code);

}  // namespace rudid
