#include "caution.h"

#include <cstdio>
#include <span>

#include "configured_units.h"
#include "library_call.h"
#include "number_text.h"
#include "rudid32.h"

// Weak, so that the tool also starts with a library that predates the
// flags: it then reports none.
#pragma weak RudidStateFlags
#pragma weak RudidRefinedFlags
#pragma weak RudidEvaluateWithFlags
#pragma weak RudidFlagName

namespace rudid::cli {

namespace {

struct Reason {
    int bit;  // its word is the library's (RudidFlagName)
    const char *explanation;
    const char *brief;  // the explanation in a few words, for one CSV field
    const char *advice; // what to do about it
};

// What to do where another answer of the same tables is better, and where
// none is.
constexpr const char *kUseRefined = "use the refined answer (the default, without --table) or give another pair";
constexpr const char *kUseFormulation = "no table interpolation is reliable here; use IAPWS-IF97";
constexpr const char *kUnknownAdvice = "check the answer against IAPWS-IF97";

// The errors are the largest the accuracy report (bench/accuracy_report.py)
// has seen against IAPWS-IF97 among the answers flagged for each reason.
// Figures with a unit are written as {dT 10} (a temperature difference),
// {p 10} (a pressure) in the library's internal units, and told in the
// configured ones.
constexpr Reason kReasons[] = {
    {RUDID_FLAG_MIXED_PHASE_CELL,
     "the table points this answer is interpolated from are not all of the state's phase: the saturation "
     "line passes through the table cell and liquid and vapour values are mixed. Errors seen there: enthalpy "
     "and entropy up to 7,900 %, volume by a factor of 126,000, a temperature from enthalpy or entropy up to "
     "4 %, from volume up to 11 %",
     "liquid and vapour table points mixed; enthalpy and entropy seen off by up to 7,900 %",
     kUseRefined},
    {RUDID_FLAG_NEAR_SATURATION,
     "the state lies within the uncertainty of the tables' saturation line (up to {dT 0.27} from the real one "
     "at the lowest pressures) and may be answered for the other phase. Errors seen there: enthalpy and "
     "entropy up to 2,300 %, volume by a factor of 42,000, a temperature from enthalpy or entropy up to "
     "0.16 %, from volume up to 2.2 %",
     "within the tables' uncertainty of the saturation line; may be answered for the other phase",
     kUseRefined},
    {RUDID_FLAG_CRITICAL_REGION,
     "the state lies in the table cells around the critical point, where properties change faster than "
     "cells of {dT 10} by {p 10} can follow. Errors seen there: volume up to 48 %, enthalpy up to 7.4 %, "
     "entropy up to 5.3 %, a temperature from a lookup up to 0.5 %; above the critical pressure a quality "
     "can be 0 instead of 1",
     "around the critical point; volume seen off by up to 48 %, enthalpy 7.4 %",
     kUseFormulation},
    {RUDID_FLAG_COARSE_GRID,
     "the table's grid is coarse for this property here (steam's volume and entropy at low pressure, cold "
     "water entered by volume, wet steam whose saturated values are uncertain), so that linear interpolation "
     "may be off by more than 0.4 %. Errors seen there: volume up to 12.5 %, entropy up to 3.1 %, a "
     "temperature from volume up to 11 %, from entropy up to 1.5 %, enthalpy and entropy from the volume of "
     "cold water up to 75 %",
     "coarse table grid here; linear interpolation may be off by more than 0.4 %",
     kUseRefined},
};

constexpr int kKnownReasons = RUDID_FLAG_MIXED_PHASE_CELL | RUDID_FLAG_NEAR_SATURATION |
                              RUDID_FLAG_CRITICAL_REGION | RUDID_FLAG_COARSE_GRID;

// The reasons that still apply to a refined answer (RudidRefinedFlags),
// with the largest errors the accuracy report has seen under each.
constexpr Reason kRefinedReasons[] = {
    {RUDID_FLAG_CRITICAL_REGION,
     "the state lies around the critical point or on the supercritical ridge above it ({p 200} to {p 300}, "
     "{T 360} to {T 420}, or the saturation line above {p 200}), where properties change faster than the "
     "tables' {dT 10} steps can follow even in the refined answer. Errors seen there: volume up to 44 %, "
     "enthalpy up to 7.5 %, entropy up to 5.3 %, a temperature from a lookup up to 0.9 %",
     "around the critical point or on the ridge above it; volume seen off by up to 44 %, enthalpy 7.5 %",
     kUseFormulation},
    {RUDID_FLAG_ILL_POSED,
     "cold water entered by its volume: near the density maximum ({T 4}) the volume hardly changes with "
     "temperature, so two temperatures share a volume (below {p 0.0107} a cold liquid shares it with wet "
     "steam) and the one answered is uncertain by degrees. Errors seen there: a temperature up to 2.9 %, "
     "enthalpy and entropy from it up to 3,400 % (of an enthalpy near zero)",
     "cold water by volume; two temperatures share it, the one answered is uncertain by degrees",
     "give the state by its temperature or another property than the volume"},
};
constexpr int kKnownRefinedReasons = RUDID_FLAG_CRITICAL_REGION | RUDID_FLAG_ILL_POSED;

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

const char *WordOf(const Reason &reason) {
    const char *word = &RudidFlagName ? RudidFlagName(reason.bit) : nullptr;
    return word ? word : "flag";
}

// The reasons of the answers the calls give: the table's or the refined.
std::span<const Reason> ReasonsInUse() {
    if (RefinedAnswers()) return kRefinedReasons;
    return kReasons;
}

int KnownReasonsInUse() { return RefinedAnswers() ? kKnownRefinedReasons : kKnownReasons; }

}  // namespace

namespace {

// The flags of rows from the tool's context, with the answers its calls
// give (table or refined); none where the call itself is refused.
std::vector<int> ContextFlags(const std::string &function, std::span<const double> first,
                              std::span<const double> second) {
    const std::size_t n = first.size();
    std::vector<int> flags(n, 0), failure(n);
    std::vector<double> result(n);
    if (RudidContextEvaluate(ToolContext(), function.c_str(), RefinedAnswers() ? RUDID_REFINED : RUDID_TABLE, n,
                             first.data(), second.data(), result.data(), failure.data(), flags.data()) < 0)
        flags.assign(n, 0);
    return flags;
}

}  // namespace

int StateFlags(const std::string &function, double first, double second) {
    if (ToolContext()) return ContextFlags(function, {&first, 1}, {&second, 1})[0];
    const auto flagsOf = RefinedAnswers() ? &RudidRefinedFlags : &RudidStateFlags;
    if (!flagsOf) return 0;
    const int flags = flagsOf(function.c_str(), first, second);
    return flags > 0 ? flags : 0;
}

std::vector<int> StateFlagsOfRows(const std::string &function, std::span<const double> first,
                                  std::span<const double> second) {
    if (ToolContext()) return ContextFlags(function, first, second);
    const std::size_t n = first.size();
    std::vector<int> flags(n, 0);
    // RudidEvaluateWithFlags gives the table flags only; the refined ones are
    // asked row by row.
    if (!RefinedAnswers() && &RudidEvaluateWithFlags) {
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

namespace {

// "v, s: " for the names of the properties a reason applies to; "" where
// the only one is unnamed (a single function's result).
std::string Named(std::span<const int> flags, std::span<const std::string_view> names, int bits) {
    std::string named;
    for (std::size_t k = 0; k < flags.size(); ++k)
        if (flags[k] > 0 && (flags[k] & bits) && !names[k].empty())
            named += (named.empty() ? "" : ", ") + std::string(names[k]);
    return named.empty() ? named : named + ": ";
}

int AllOf(std::span<const int> flags) {
    int all = 0;
    for (const int f : flags) all |= f > 0 ? f : 0;
    return all;
}

}  // namespace

std::vector<std::string> PropertyCautionLines(std::span<const int> flags, std::span<const std::string_view> names) {
    std::vector<std::string> lines;
    const int all = AllOf(flags);
    for (const Reason &reason : ReasonsInUse())
        if (all & reason.bit)
            lines.push_back("caution: " + Named(flags, names, reason.bit) + InConfiguredUnits(reason.explanation) +
                            "; " + reason.advice);
    if (const int other = all & ~KnownReasonsInUse())
        lines.push_back("caution: " + Named(flags, names, other) +
                        "the library reports the tables as poor for this answer (reason bits " +
                        std::to_string(other) + "); " + kUnknownAdvice);
    return lines;
}

std::vector<std::string> CautionLines(int flags, std::string_view name) {
    return PropertyCautionLines({&flags, 1}, {&name, 1});
}

std::string PropertyCautionSummary(std::span<const int> flags, std::span<const std::string_view> names) {
    std::string text;
    const int all = AllOf(flags);
    for (const Reason &reason : ReasonsInUse())
        if (all & reason.bit)
            text += (text.empty() ? "caution: " : "; ") + Named(flags, names, reason.bit) + WordOf(reason) + " (" +
                    reason.brief + "; " + reason.advice + ")";
    if (const int other = all & ~KnownReasonsInUse())
        text += (text.empty() ? "caution: " : "; ") + Named(flags, names, other) +
                "the library reports the tables as poor here (reason bits " + std::to_string(other) + "; " +
                kUnknownAdvice + ")";
    return text;
}

std::string FlagWords(int flags) {
    std::string words;
    if (flags <= 0) return words;
    for (const Reason &reason : ReasonsInUse())
        if (flags & reason.bit) {
            if (!words.empty()) words += '+';
            words += WordOf(reason);
        }
    const int other = flags & ~KnownReasonsInUse();
    if (other) words += (words.empty() ? "other-" : "+other-") + std::to_string(other);
    return words;
}

std::string CautionSummary(int flags) {
    const std::string_view unnamed;
    return PropertyCautionSummary({&flags, 1}, {&unnamed, 1});
}

}  // namespace rudid::cli
