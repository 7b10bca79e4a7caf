#include "caution.h"

#include "rudid32.h"

// TRANSITIONAL: weak until the library defines it.
#pragma weak RudidStateFlags

namespace rudid::cli {

namespace {

struct Reason {
    int bit;
    const char *word;
    const char *explanation;
};

// The worst errors were measured against IAPWS-IF97 over 20,000 random
// states of each of the pressure-temperature functions and of the lookups
// by enthalpy, entropy and volume (pressure log-uniform over 0.01 to 1000
// bar, temperature uniform over 0 to 800 C), grouped by reason.
constexpr Reason kReasons[] = {
    {RUDID_FLAG_MIXED_PHASE_CELL, "mixed-phase-cell",
     "the state lies in a table cell that the saturation line crosses, so liquid and vapour values are "
     "interpolated together; enthalpy, entropy and volume can be off by up to 60 % there (at 1 atm a few "
     "degrees above boiling, enthalpy up to 290 kJ/kg low)"},
    {RUDID_FLAG_NEAR_SATURATION, "near-saturation",
     "the state lies next to the saturation line, where the tables and the real fluid may put it in "
     "different phases; the answer can be that of the other phase, off by up to 60 % (temperatures by "
     "up to 10 %)"},
    {RUDID_FLAG_CRITICAL_REGION, "critical-region",
     "the state lies in the table cell around the critical point (221 bar, 374 C), where properties change "
     "steeply; errors up to 30 % (volume) and 10 % (enthalpy, entropy)"},
    {RUDID_FLAG_COARSE_GRID, "coarse-grid",
     "the table's grid is coarse for this property here (vapour volume and entropy at low pressure, "
     "lookups by volume in cold liquid); errors up to 5 %"},
};

}  // namespace

int StateFlags(const std::string &function, double first, double second) {
    if (!&RudidStateFlags) return 0;
    const int flags = RudidStateFlags(function.c_str(), first, second);
    return flags > 0 ? flags : 0;
}

std::vector<std::string> CautionLines(int flags) {
    std::vector<std::string> lines;
    if (flags <= 0) return lines;
    for (const Reason &reason : kReasons)
        if (flags & reason.bit) lines.push_back(std::string("caution: ") + reason.explanation);
    return lines;
}

std::string FlagWords(int flags) {
    std::string words;
    if (flags <= 0) return words;
    for (const Reason &reason : kReasons)
        if (flags & reason.bit) {
            if (!words.empty()) words += '+';
            words += reason.word;
        }
    return words;
}

}  // namespace rudid::cli
