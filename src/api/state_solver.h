// The whole state of water or steam from two given properties, for
// RudidSolveStates. A pair that a property function takes (p and T, h, s, v
// or x; T and x) has every other property from the functions of that pair;
// the others (T with h, s or v; two of h, s and v; x with h, s or v) are
// brought back to such a pair by finding the pressure. Rows are evaluated
// many at a time, in the context's units, through the same batch
// evaluation as RudidContextEvaluate: each answer is bit for bit the one
// the property function gives.
#pragma once

#include <cstddef>
#include <vector>

#include "api/call_frame.h"
#include "api/export_table.h"
#include "rudid32.h"

struct RudidContext;

namespace rudid {

constexpr int kStateProperties = RUDID_STATE_PROPERTIES;

// Where and how rows are solved: the context, the kind of answer, whether
// the flags of each property are wanted, and what a pair that property
// functions take needs worked out: bit k for RUDID_STATE_ k (the others are
// left NaN with code 0) and kStatePhase for the phase (else left unknown).
// A pair solved through the pressure has everything, which it needs to
// check what it found.
constexpr unsigned kStatePhase = 1u << kStateProperties;
constexpr unsigned kAllStateProperties = (kStatePhase << 1) - 1;
struct StateSetting {
    const RudidContext *context;
    Answer answer;
    bool flags;
    unsigned needed = kAllStateProperties;
};

// Two more given properties than a state's six: the specific internal
// energy (only with the pressure) and the density (with any of the six but
// the volume, whose inverse it is).
constexpr int kGivenInternalEnergy = kStateProperties;
constexpr int kGivenDensity = kStateProperties + 1;

// The given pair: two different properties, RUDID_STATE_P ... X or the two
// above, in the order of the caller's first and second arrays.
struct GivenPair {
    int first;
    int second;
};

// Rows of states being solved: row i's property k at [kStateProperties *
// i + k] of values, codes and flags (RudidSolveStates' meanings), and its
// phase.
struct StateBlock {
    std::vector<double> values;
    std::vector<int> codes;
    std::vector<unsigned> flags;
    std::vector<int> phase;
};
void ResizeBlock(StateBlock *block, std::size_t n);

// One property function over rows: value[i] where code[i] is 0; else NaN
// with code[i] its error code (negative) or failure code (positive).
struct Evaluation {
    std::vector<double> value;
    std::vector<int> code;
    std::vector<unsigned> flags;  // empty unless asked for
};
void EvaluateRows(const StateSetting &setting, const ExportDescriptor &fn, std::size_t n, const double *first,
                  const double *second, Evaluation *out, bool withFlags = false);

// The same for up to kMostColumns functions of one family with the same
// arguments (fns[c] into out[c]), each row looked up once for all of them.
void EvaluateTogether(const StateSetting &setting, const ExportDescriptor *const *fns, int count, std::size_t n,
                      const double *first, const double *second, Evaluation *out, bool withFlags = false);

// The quantity code of a property; the function that gives result from
// the arguments in this order (second RUDID_NO_QUANTITY for one
// argument), or null.
int QuantityOfProperty(int property);
const ExportDescriptor *ExportFor(int result, int first, int second);

// A value of a quantity between the context's unit and the internal one,
// in the library's arithmetic; NaN where it has no conversion.
double ToInternal(const RudidContext &context, int quantity, double value);
double FromInternal(const RudidContext &context, int quantity, double value);

// Whether a state's property (value, code) gives back the given value: in
// the internal units, within 1e-4 of max(|given|, floor), the floors 1
// kJ/kg for an enthalpy, 0.01 kJ/(kg K) for an entropy and 1 for a quality,
// a temperature on the absolute scale.
bool GivesBack(const RudidContext &context, int property, double given, double value, int code);

// The states of rows given by a pair that a property function takes, into
// block (resized to n).
void SolveByFunctions(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                      const double *second, StateBlock *block);

// The states of rows given by a pair that none takes, found through the
// pressure: each state given back within the tolerance of GivesBack, or the
// row RUDID_NO_STATE (or the failure that kept it from being found).
void SolveThroughPressure(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                          const double *second, StateBlock *block);

// Whether some property function takes the pair, in either order (none
// takes an internal energy or a density).
bool PairHasFunction(GivenPair pair);

// The pair that RudidSolveStates' letters name ("pT", "hs", ...); false for
// anything else.
bool ReadGivenPair(const char *given, GivenPair *pair);

// The states of rows given by a pair with a density (solved as the volume)
// or an internal energy (with the pressure: the enthalpy at that pressure
// whose state has the energy, found by false position), into block; each
// state gives back the given pair within the tolerance of GivesBack (the
// energy as an enthalpy), else the row is RUDID_NO_STATE.
void SolveByDensityOrEnergy(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                            const double *second, StateBlock *block);

// The states of rows given by any pair, into block (resized to n).
void SolveBlock(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                const double *second, StateBlock *block);

}  // namespace rudid
