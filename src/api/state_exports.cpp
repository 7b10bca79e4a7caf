// RudidSolveStates and RudidPhaseName: the whole state from any pair. No
// C++ exception leaves here.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <cctype>
#include <new>

#include "api/context.h"
#include "api/state_solver.h"
#include "platform/platform.h"

namespace rudid {

namespace {

// The letters of the properties, in RUDID_STATE_... order, then the
// internal energy and the density; any case.
constexpr char kLetters[] = "pthsvxud";

int PropertyOfLetter(char letter) {
    const char lower = char(std::tolower(static_cast<unsigned char>(letter)));
    for (int k = 0; k < kGivenDensity + 1; ++k)
        if (kLetters[k] == lower) return k;
    return -1;
}

bool Has(GivenPair pair, int property) { return pair.first == property || pair.second == property; }

// The block's rows into the caller's arrays; how many rows have no state or
// a property that failed.
int CopyOut(const StateBlock &block, std::size_t n, double *states, int *codes, int *phase, int *flags) {
    int unanswered = 0;
    for (std::size_t i = 0; i < n; ++i) {
        bool answered = true;
        for (std::size_t k = 0; k < std::size_t(kStateProperties); ++k) {
            const std::size_t at = std::size_t(kStateProperties) * i + k;
            states[at] = block.values[at];
            codes[at] = block.codes[at];
            if (flags) flags[at] = int(block.flags[at]);
            if (block.codes[at] == RUDID_NO_STATE || block.codes[at] > 0) answered = false;
        }
        if (phase) phase[i] = block.phase[i];
        if (!answered) ++unanswered;
    }
    return unanswered;
}

int Solve(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first, const double *second,
          double *states, int *codes, int *phase, int *flags) {
    StateBlock block;
    SolveBlock(setting, pair, n, first, second, &block);
    return CopyOut(block, n, states, codes, phase, flags);
}

}  // namespace

bool ReadGivenPair(const char *given, GivenPair *pair) {
    if (!given || !given[0] || !given[1] || given[2]) return false;
    pair->first = PropertyOfLetter(given[0]);
    pair->second = PropertyOfLetter(given[1]);
    if (pair->first < 0 || pair->second < 0 || pair->first == pair->second) return false;
    if (Has(*pair, kGivenInternalEnergy)) return Has(*pair, RUDID_STATE_P);
    return !(Has(*pair, kGivenDensity) && Has(*pair, RUDID_STATE_V));
}

void SolveBlock(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                const double *second, StateBlock *block) {
    if (Has(pair, kGivenInternalEnergy) || Has(pair, kGivenDensity))
        SolveByDensityOrEnergy(setting, pair, n, first, second, block);
    else if (PairHasFunction(pair))
        SolveByFunctions(setting, pair, n, first, second, block);
    else
        SolveThroughPressure(setting, pair, n, first, second, block);
}

}  // namespace rudid

extern "C" {

RUDID_API int RUDID_CALL RudidSolveStates(RudidContext *context, const char *given, int options, size_t n,
                                          const double *first, const double *second, double *states, int *codes,
                                          int *phase, int *flags) {
    using namespace rudid;
    const RudidContext &in = context ? *context : DefaultContext();
    GivenPair pair;
    if (!ReadGivenPair(given, &pair)) return RUDID_UNKNOWN_FUNCTION;
    Answer answer;
    if (!AnswerOf(options, in.answer, &answer)) return RUDID_BAD_ARGUMENTS;
    if (n == 0) return 0;
    if (!first || !second || !states || !codes) return RUDID_BAD_ARGUMENTS;
    const StateSetting setting{&in, answer, flags != nullptr};
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    int result;
    try {
        result = Solve(setting, pair, n, first, second, states, codes, phase, flags);
    } catch (const std::bad_alloc &) {
        result = RUDID_OUT_OF_MEMORY;
    }
    platform::LeaveLibraryArithmetic(saved);
    return result;
}

RUDID_API const char *RUDID_CALL RudidPhaseName(int phase) {
    switch (phase) {
        case RUDID_PHASE_COMPRESSED_LIQUID: return "compressed liquid";
        case RUDID_PHASE_WET_STEAM: return "wet steam";
        case RUDID_PHASE_SATURATED_LIQUID: return "saturated liquid";
        case RUDID_PHASE_SATURATED_VAPOUR: return "saturated vapour";
        case RUDID_PHASE_SUPERHEATED_VAPOUR: return "superheated vapour";
        case RUDID_PHASE_SUPERCRITICAL_FLUID: return "supercritical fluid";
        case RUDID_PHASE_SATURATION_LINE: return "saturated liquid or vapour (give a quality to tell)";
        default: return "";
    }
}

}  // extern "C"
