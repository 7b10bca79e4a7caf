// The whole state of water or steam from two given properties: every other
// property from the property function that gives it, the phase, and the
// library's flags of where the answers are poor. Works on many rows at once
// so that batch evaluation can share it.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "export_table.h"
#include "library_call.h"

namespace rudid::cli {

// The keys a state is given by: p, T, h, s, v, x.
struct StateKey {
    char key;
    Quantity quantity;
};
const StateKey *FindStateKey(std::string_view key);

// The properties of a state, in the order they are printed.
constexpr Quantity kStateProperties[] = {Quantity::Temperature,      Quantity::Pressure,
                                         Quantity::SpecificVolume,   Quantity::SpecificEnthalpy,
                                         Quantity::SpecificEntropy, Quantity::Quality};
constexpr std::size_t kStatePropertyCount = std::size(kStateProperties);

// Whether some property function takes this pair of quantities.
bool StatePairSupported(Quantity a, Quantity b);

// Whether the pair fixes a state that SolveStates can find: any two
// different keys (those no function takes are solved through a pressure).
bool StatePairSolvable(Quantity a, Quantity b);

// Evaluates one export over rows (second ignored by one-argument exports).
using Evaluator = std::function<std::vector<Outcome>(const ExportInfo &, std::span<const double> first,
                                                     std::span<const double> second)>;

// Each row a single call: failures keep the library's message naming the file.
std::vector<Outcome> EvaluateBySingleCalls(const ExportInfo &info, std::span<const double> first,
                                           std::span<const double> second);
// All rows in one call of the library's batch function.
std::vector<Outcome> EvaluateByBatch(const ExportInfo &info, std::span<const double> first,
                                     std::span<const double> second);

struct StateRow {
    Outcome properties[kStatePropertyCount];  // in kStateProperties order; the given ones as values
    // Whether the quality is a quality of this state (wet steam, saturated
    // liquid or vapour, or given); otherwise properties' quality holds why
    // there is none.
    bool qualityMeaningful = false;
    std::string qualityNote;  // the text printed instead of a quality that is not meaningful
    std::string phase;        // "" when it cannot be told
    int flags = 0;            // the library's reasons for caution, over every property given
    int exitStatus = 0;       // 0, 1 (a property outside the tables) or 3 (a failure)
};

// Whether a state gives back the two properties it was found from. A state
// found through a pressure takes one given property from a function other
// than the one the pressure was found with, and the tables' functions are
// not exact inverses of each other: so "gives back" means within a
// tolerance, in the library's internal units, of
//   kGivenPairTolerance x max(|given|, floor)
// with the floors 1 kJ/kg for an enthalpy, 0.01 kJ/(kg K) for an entropy
// (both vanish at the triple point); a temperature is measured on the
// absolute scale (the given value plus 273.15 K) and a quality as a
// fraction (floor 1). Neither a pressure nor a volume vanishes in the
// tables. A state with a property that is not a value (outside the tables,
// a failure) does not give it back.
constexpr double kGivenPairTolerance = 1e-4;
bool GivesBack(Quantity quantity, double given, const Outcome &answer);

enum class Reproduction {
    Reproduced,  // both given properties given back
    Elsewhere,   // a given property lies beyond the tolerance or outside the tables
    Failed,      // a property function failed (a table missing): cannot be told
};
Reproduction CheckGivenPair(const StateRow &row, Quantity a, double first, Quantity b, double second);

// The states of rows of the pair (a, b): first[i] of quantity a and
// second[i] of quantity b. The pair must be solvable.
// withFlags false leaves every row's flags 0 without asking the library.
std::vector<StateRow> SolveStates(Quantity a, Quantity b, std::span<const double> first,
                                  std::span<const double> second, const Evaluator &evaluate, bool withFlags = true);

}  // namespace rudid::cli
