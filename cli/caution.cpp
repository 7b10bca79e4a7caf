#include "caution.h"

#include <cstdio>

#include "configured_units.h"
#include "number_text.h"
#include "rudid32.h"

// Weak, so that the tool also starts with a library that predates the
// flags: it then reports none.
#pragma weak RudidStateFlags
#pragma weak RudidEvaluateWithFlags

namespace rudid::cli {

namespace {

struct Reason {
    int bit;
    const char *word;
    const char *explanation;
};

// The errors are the largest the accuracy report (bench/accuracy_report.py)
// has seen against IAPWS-IF97 among the answers flagged for each reason.
// Figures with a unit are written as {dT 10} (a temperature difference),
// {p 10} (a pressure) in the library's internal units, and told in the
// configured ones.
constexpr Reason kReasons[] = {
    {RUDID_FLAG_MIXED_PHASE_CELL, "mixed-phase-cell",
     "the table points this answer is interpolated from are not all of the state's phase: the saturation "
     "line passes through the table cell and liquid and vapour values are mixed. Errors seen there: enthalpy "
     "and entropy up to 7,900 %, volume by a factor of 126,000, a temperature from enthalpy or entropy up to "
     "4 %, from volume up to 11 %"},
    {RUDID_FLAG_NEAR_SATURATION, "near-saturation",
     "the state lies within the uncertainty of the tables' saturation line (up to {dT 0.27} from the real one "
     "at the lowest pressures) and may be answered for the other phase. Errors seen there: enthalpy and "
     "entropy up to 2,300 %, volume by a factor of 42,000, a temperature from enthalpy or entropy up to "
     "0.16 %, from volume up to 2.2 %"},
    {RUDID_FLAG_CRITICAL_REGION, "critical-region",
     "the state lies in the table cells around the critical point, where properties change faster than "
     "cells of {dT 10} by {p 10} can follow. Errors seen there: volume up to 48 %, enthalpy up to 7.4 %, "
     "entropy up to 5.3 %, a temperature from a lookup up to 0.5 %; above the critical pressure a quality "
     "can be 0 instead of 1"},
    {RUDID_FLAG_COARSE_GRID, "coarse-grid",
     "the table's grid is coarse for this property here (steam's volume and entropy at low pressure, cold "
     "water entered by volume, wet steam whose saturated values are uncertain), so that linear interpolation "
     "may be off by more than 0.4 %. Errors seen there: volume up to 12.5 %, entropy up to 3.1 %, a "
     "temperature from volume up to 11 %, from entropy up to 1.5 %, enthalpy and entropy from the volume of "
     "cold water up to 75 %"},
};

constexpr int kKnownReasons = RUDID_FLAG_MIXED_PHASE_CELL | RUDID_FLAG_NEAR_SATURATION |
                              RUDID_FLAG_CRITICAL_REGION | RUDID_FLAG_COARSE_GRID;

// A figure in braces told in the configured unit: {dT 12} a temperature
// difference, {p 10} a pressure, {h 1450} an enthalpy.
std::string InConfiguredUnits(std::string text) {
    for (std::size_t open; (open = text.find('{')) != std::string::npos;) {
        const std::size_t close = text.find('}', open);
        const std::string figure = text.substr(open + 1, close - open - 1);
        const std::size_t blank = figure.find(' ');
        const std::string kind = figure.substr(0, blank);
        const double internal = ParseNumber(figure.substr(blank + 1)).value_or(0);
        const Quantity quantity = kind == "h"   ? Quantity::SpecificEnthalpy
                                  : kind == "p" ? Quantity::Pressure
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

std::vector<int> StateFlagsOfRows(const std::string &function, std::span<const double> first,
                                  std::span<const double> second) {
    const std::size_t n = first.size();
    std::vector<int> flags(n, 0);
    if (&RudidEvaluateWithFlags) {
        std::vector<double> result(n);
        std::vector<int> failure(n);
        if (RudidEvaluateWithFlags(function.c_str(), n, first.data(), second.data(), result.data(), failure.data(),
                                   flags.data()) < 0)
            flags.assign(n, 0);
        return flags;
    }
    for (std::size_t i = 0; i < n; ++i) flags[i] = StateFlags(function, first[i], second[i]);
    return flags;
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
