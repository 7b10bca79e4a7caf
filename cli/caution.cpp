#include "caution.h"

#include <cstdio>

#include "configured_units.h"
#include "number_text.h"
#include "rudid32.h"

// Weak, so that the tool also starts with a library that predates the
// flags: it then reports none.
#pragma weak RudidStateFlags

namespace rudid::cli {

namespace {

struct Reason {
    int bit;
    const char *word;
    const char *explanation;
};

// The worst errors found against IAPWS-IF97 over 20,000 random states of
// each of the pressure-temperature functions and of the lookups of
// temperature by enthalpy, entropy and volume (pressure log-uniform over
// 0.01 to 1000 bar, temperature uniform over 0 to 800 C), grouped by where
// the states lie. Enthalpies in kJ/kg, entropies in kJ/kg,K, temperature
// differences in degrees; each written as {h 1450}, {s 5.7} or {dT 12}
// in the library's internal units and told in the configured ones.
constexpr Reason kReasons[] = {
    {RUDID_FLAG_MIXED_PHASE_CELL, "mixed-phase-cell",
     "the state lies in a table cell that the saturation line crosses, so liquid and vapour values are "
     "interpolated together: enthalpy can be off by up to {h 1450}, entropy by up to {s 5.7}, volume by "
     "orders of magnitude, a temperature from a lookup by up to {dT 12} (4 %)"},
    {RUDID_FLAG_NEAR_SATURATION, "near-saturation",
     "the state lies next to the saturation line, where the tables and the real fluid may put it in "
     "different phases: the answer may be that of the other phase (enthalpy off by up to {h 1450}), a "
     "temperature from a lookup off by up to {dT 10} (3.5 %)"},
    {RUDID_FLAG_CRITICAL_REGION, "critical-region",
     "the state lies in the table cell around the critical point, where properties change steeply: errors "
     "up to 7 % in enthalpy ({h 130}), 15 % in entropy, 3 % in volume and {dT 7} in a temperature"},
    {RUDID_FLAG_COARSE_GRID, "coarse-grid",
     "the table's grid is coarse for this property here (vapour volume and entropy at low pressure, lookups "
     "by volume in cold liquid): errors up to 13 % in volume, and a temperature from a lookup by volume off "
     "by up to {dT 120} (11 %)"},
};

constexpr int kKnownReasons = RUDID_FLAG_MIXED_PHASE_CELL | RUDID_FLAG_NEAR_SATURATION |
                              RUDID_FLAG_CRITICAL_REGION | RUDID_FLAG_COARSE_GRID;

// A figure in braces told in the configured unit: {h 1450} an enthalpy,
// {s 5.7} an entropy, {dT 12} a temperature difference.
std::string InConfiguredUnits(std::string text) {
    for (std::size_t open; (open = text.find('{')) != std::string::npos;) {
        const std::size_t close = text.find('}', open);
        const std::string figure = text.substr(open + 1, close - open - 1);
        const std::size_t blank = figure.find(' ');
        const std::string kind = figure.substr(0, blank);
        const double internal = ParseNumber(figure.substr(blank + 1)).value_or(0);
        const Quantity quantity = kind == "h"   ? Quantity::SpecificEnthalpy
                                  : kind == "s" ? Quantity::SpecificEntropy
                                                : Quantity::Temperature;
        const double configured = kind == "dT" ? ToConfigured(quantity, internal) - ToConfigured(quantity, 0)
                                               : ToConfigured(quantity, internal);
        // Three significant digits, written out in full ("1450", not "1.45e+03").
        char written[32];
        std::snprintf(written, sizeof written, "%.6g", ParseNumber(FormatNumber(configured, 3)).value_or(0));
        text.replace(open, close - open + 1, std::string(written) + " " + UnitOf(quantity));
    }
    return text;
}

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
        if (flags & reason.bit) lines.push_back("caution: " + InConfiguredUnits(reason.explanation));
    if (flags & ~kKnownReasons)
        lines.push_back("caution: the library reports the tables as poor for this answer (reason bits " +
                        std::to_string(flags & ~kKnownReasons) + ")");
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
    if (flags & ~kKnownReasons) words += (words.empty() ? "other-" : "+other-") + std::to_string(flags & ~kKnownReasons);
    return words;
}

}  // namespace rudid::cli
