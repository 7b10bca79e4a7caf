// The whole state of water or steam from two given properties, as the
// library solves it (RudidSolveStates in the tool's context): every other
// property, the phase and the library's flags of where the answers are
// poor, read into what the tool prints. Works on many rows at once so that
// batch evaluation shares it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export_table.h"
#include "library_call.h"
#include "rudid32.h"

namespace rudid::cli {

// The keys a state is given by: p, T, h, s, v, x, and u (internal energy,
// with p) and d or rho (density).
struct StateKey {
    char key;
    Quantity quantity;
};
const StateKey *FindStateKey(std::string_view key);

// The key of a quantity ("p", "T", ...) to name a property by; "" for none.
std::string_view StateSymbol(Quantity quantity);

// The properties of a state, in the order they are printed.
constexpr Quantity kStateProperties[] = {Quantity::Temperature,      Quantity::Pressure,
                                         Quantity::SpecificVolume,   Quantity::SpecificEnthalpy,
                                         Quantity::SpecificEntropy, Quantity::Quality};
constexpr std::size_t kStatePropertyCount = std::size(kStateProperties);
// Their keys, to name them by in cautions and column titles.
constexpr std::string_view kStateSymbols[kStatePropertyCount] = {"T", "p", "v", "h", "s", "x"};

// The properties the library derives from a state (density, internal
// energy, cp, cv, speed of sound, viscosity, thermal conductivity, Prandtl
// number, surface tension), in the library's order; their words, symbols
// and units in this run.
constexpr std::size_t kDerivedCount = RUDID_DERIVED_PROPERTIES;
std::string DerivedWord(std::size_t property);
std::string DerivedSymbol(std::size_t property);
std::string DerivedUnit(std::size_t property);

// Whether the pair fixes a state: any two different keys, but u only with
// p, and not a density with a volume.
bool StatePairSolvable(Quantity a, Quantity b);

struct StateRow {
    Outcome properties[kStatePropertyCount];  // in kStateProperties order; the given ones as values
    // Whether the quality is a quality of this state (wet steam, saturated
    // liquid or vapour, or given); otherwise properties' quality holds why
    // there is none.
    bool qualityMeaningful = false;
    std::string qualityNote;  // the text printed instead of a quality that is not meaningful
    std::string phase;        // "" when it cannot be told
    int flags = 0;            // the library's reasons for caution, over every property
    int propertyFlags[kStatePropertyCount] = {};  // each property's own, in kStateProperties order
    int exitStatus = 0;       // 0, 1 (a property outside the tables, no state) or 3 (a failure)
    // The derived properties; a range error with its reason where the state
    // has none (wet steam's cp, a single phase's surface tension). They
    // leave exitStatus as the six properties set it.
    Outcome derived[kDerivedCount];
    int derivedFlags[kDerivedCount] = {};
};

// The states of rows of the pair (a, b): first[i] of quantity a and
// second[i] of quantity b, with the refined or the table answers. The pair
// must be solvable. withFlags false leaves every row's flags 0.
std::vector<StateRow> SolveStates(Quantity a, Quantity b, std::span<const double> first,
                                  std::span<const double> second, bool withFlags = true,
                                  bool refined = RefinedAnswers());

}  // namespace rudid::cli
