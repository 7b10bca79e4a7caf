#include "whole_state.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "commands.h"
#include "rudid32.h"

namespace rudid::cli {

namespace {

// In the order of RudidSolveStates' rows, then the two the solver takes
// only as given: the internal energy (with the pressure) and the density.
constexpr StateKey kKeys[] = {
    {'p', Quantity::Pressure},        {'T', Quantity::Temperature},     {'h', Quantity::SpecificEnthalpy},
    {'s', Quantity::SpecificEntropy}, {'v', Quantity::SpecificVolume}, {'x', Quantity::Quality},
    {'u', Quantity::InternalEnergy},  {'d', Quantity::Density},
};

// The library's index of a property in a row of RudidSolveStates: the
// order of kKeys.
int LibraryIndex(Quantity q) {
    for (int k = 0; k < int(std::size(kKeys)); ++k)
        if (kKeys[k].quantity == q) return k;
    return 0;
}

// The function whose range message tells why a property has no value:
// the one taking the given pair (in either order), or the saturation
// function of the other given property with a quality; -1 for none.
int SourceFunction(Quantity q, Quantity a, Quantity b) {
    const ExportInfo *info = FindExportFor(q, a, b);
    if (!info) info = FindExportFor(q, b, a);
    if (!info && (a == Quantity::Quality || b == Quantity::Quality))
        info = FindExportFor(q, a == Quantity::Quality ? b : a);
    return info ? info->index : -1;
}

int StatusOf(const Outcome &outcome) {
    switch (outcome.kind) {
        case OutcomeKind::Value: return kExitOk;
        case OutcomeKind::RangeError: return kExitOutOfRange;
        case OutcomeKind::Failure: return kExitFailure;
    }
    return kExitFailure;
}

Outcome OutcomeOf(double value, int code, int function) {
    if (code == 0) return {OutcomeKind::Value, value, 0, {}};
    if (code > 0) return FailureOutcome(code);
    const char *meaning = RudidRangeMessage(function, code);
    // No state has no error code of its own to report.
    return {OutcomeKind::RangeError, 0, code == RUDID_NO_STATE ? 0 : code,
            meaning ? meaning : "error code " + std::to_string(code)};
}

// Whether a property of the row is refused as lying on the saturation line:
// a liquid or a vapour phase beside it would contradict its error, and the
// row is told as being on the line (where a quality tells the phase).
bool OnTheLineByAnError(const int *codes) {
    for (int k = 0; k < RUDID_STATE_PROPERTIES; ++k)
        if (codes[k] == RUDID_ON_SATURATION_LINE) return true;
    return false;
}

// Whether each pressure lies above the critical one, by the saturation
// function's refusal.
std::vector<bool> AboveCritical(const std::vector<double> &pressures, bool refined) {
    const std::size_t n = pressures.size();
    std::vector<double> result(n);
    std::vector<int> failure(n);
    std::vector<bool> above(n, false);
    if (n == 0 || RudidContextEvaluate(ToolContext(), "AQPPT", refined ? RUDID_REFINED : RUDID_TABLE, n,
                                       pressures.data(), pressures.data(), result.data(), failure.data(),
                                       nullptr) < 0)
        return above;
    for (std::size_t i = 0; i < n; ++i)
        above[i] = failure[i] == 0 && RudidRangeCode(result[i]) == RUDID_PRESSURE_ABOVE_CRITICAL;
    return above;
}

// Why a state has no quality, in words.
void NoteQualities(std::vector<StateRow> *rows, const std::vector<int> &codes, const std::vector<int> &phases,
                   const std::vector<double> &states, bool refined) {
    const int x = RUDID_STATE_X, p = RUDID_STATE_P;
    std::vector<std::size_t> which;
    std::vector<double> pressures;
    for (std::size_t i = 0; i < rows->size(); ++i) {
        const int code = codes[RUDID_STATE_PROPERTIES * i + x];
        StateRow &row = (*rows)[i];
        if (code == RUDID_NO_STATE) row.qualityNote = "none";
        if (code != RUDID_NO_QUALITY) continue;
        row.qualityNote = phases[i] == RUDID_PHASE_SATURATION_LINE
                              ? "undetermined (on the saturation line: give a quality instead)"
                          : phases[i] == RUDID_PHASE_SUPERCRITICAL_FLUID ? "none (above the critical pressure)"
                          : phases[i] == RUDID_PHASE_UNKNOWN ? "unknown (the saturated state could not be found)"
                                                             : "none (single phase)";
        if (phases[i] == RUDID_PHASE_SUPERCRITICAL_FLUID || codes[RUDID_STATE_PROPERTIES * i + p] != 0) continue;
        which.push_back(i);
        pressures.push_back(states[RUDID_STATE_PROPERTIES * i + p]);
    }
    const std::vector<bool> above = AboveCritical(pressures, refined);
    for (std::size_t j = 0; j < which.size(); ++j)
        if (above[j]) (*rows)[which[j]].qualityNote = "none (above the critical pressure)";
}

// Why a state has no value of a derived property, in words.
Outcome DerivedOutcome(double value, int code, Quantity a, Quantity b) {
    if (code == 0) return {OutcomeKind::Value, value, 0, {}};
    if (code == RUDID_TWO_PHASE || code == RUDID_NOT_SATURATED || code == RUDID_NO_FORMULATION_STATE) {
        const char *meaning = RudidRangeMessage(-1, code);
        const std::string why = meaning ? meaning : "code " + std::to_string(code);
        return {OutcomeKind::RangeError, 0, code, "none (" + why + ")"};
    }
    // The code of the state's v, h or T: told as the state's property tells it.
    return OutcomeOf(value, code, SourceFunction(Quantity::SpecificVolume, a, b));
}

// The derived properties of the rows RudidSolveStates solved (its arrays,
// as it filled them), without solving them again.
void DeriveRows(std::vector<StateRow> *rows, const std::vector<double> &states, const std::vector<int> &stateCodes,
                const std::vector<int> &phases, const std::vector<int> &stateFlags, Quantity a, Quantity b) {
    const std::size_t n = rows->size(), width = kDerivedCount;
    std::vector<double> values(n * width);
    std::vector<int> codes(n * width), flags(n * width, 0);
    const int status = RudidDeriveStates(ToolContext(), n, states.data(), stateCodes.data(), phases.data(),
                                         stateFlags.data(), values.data(), codes.data(), flags.data());
    for (std::size_t i = 0; i < n; ++i) {
        StateRow &row = (*rows)[i];
        for (std::size_t k = 0; k < width; ++k) {
            const std::size_t at = width * i + k;
            row.derived[k] = status < 0 ? Outcome{OutcomeKind::Failure, 0, status, "the library refused the rows"}
                                        : DerivedOutcome(values[at], codes[at], a, b);
            row.derivedFlags[k] = std::max(flags[at], 0);
        }
    }
}

}  // namespace

std::string DerivedWord(std::size_t property) {
    const char *name = RudidPropertyName(int(property));
    return name ? name : "";
}

std::string DerivedSymbol(std::size_t property) {
    const char *symbol = RudidPropertySymbol(int(property));
    return symbol ? symbol : "";
}

std::string DerivedUnit(std::size_t property) {
    const int quantity = RudidPropertyQuantity(int(property));
    if (quantity == RUDID_NO_QUANTITY) return "N/m";
    const char *name = RudidContextUnit(ToolContext(), quantity);
    return name ? name : "";
}

const StateKey *FindStateKey(std::string_view key) {
    if (key == "rho") return &kKeys[std::size(kKeys) - 1];
    // The symbols differ in more than case: P, t, H are as good as p, T, h.
    for (const StateKey &known : kKeys)
        if (key.size() == 1 && std::tolower(static_cast<unsigned char>(key[0])) ==
                                   std::tolower(static_cast<unsigned char>(known.key)))
            return &known;
    return nullptr;
}

std::string_view StateSymbol(Quantity quantity) {
    for (const StateKey &known : kKeys)
        if (known.quantity == quantity) return {&known.key, 1};
    return {};
}

bool StatePairSolvable(Quantity a, Quantity b) {
    if (a == b || a == Quantity::None || b == Quantity::None) return false;
    const auto either = [&](Quantity q) { return a == q || b == q; };
    if (either(Quantity::InternalEnergy)) return either(Quantity::Pressure);
    return !(either(Quantity::Density) && either(Quantity::SpecificVolume));
}

std::vector<StateRow> SolveStates(Quantity a, Quantity b, std::span<const double> first,
                                  std::span<const double> second, bool withFlags, bool refined) {
    const std::size_t n = first.size(), width = RUDID_STATE_PROPERTIES;
    const char given[] = {kKeys[LibraryIndex(a)].key, kKeys[LibraryIndex(b)].key, '\0'};
    std::vector<double> states(n * width);
    std::vector<int> codes(n * width), phases(n), flags(n * width, 0);
    const int status = RudidSolveStates(ToolContext(), given, refined ? RUDID_REFINED : RUDID_TABLE, n, first.data(),
                                        second.data(), states.data(), codes.data(), phases.data(),
                                        withFlags ? flags.data() : nullptr);
    const std::vector<int> solvedPhases = phases;  // the library's, before the tool names a line below
    std::vector<StateRow> rows(n);
    for (std::size_t i = 0; i < n; ++i) {
        StateRow &row = rows[i];
        for (std::size_t k = 0; k < kStatePropertyCount; ++k) {
            const std::size_t at = width * i + std::size_t(LibraryIndex(kStateProperties[k]));
            row.properties[k] = status < 0 ? Outcome{OutcomeKind::Failure, 0, status,
                                                     "the library refused the rows (status " +
                                                         std::to_string(status) + ")"}
                                           : OutcomeOf(states[at], codes[at], SourceFunction(kStateProperties[k], a, b));
            row.propertyFlags[k] = std::max(flags[at], 0);
            row.flags |= row.propertyFlags[k];
        }
        row.qualityMeaningful = status >= 0 && codes[width * i + RUDID_STATE_X] == 0;
        if (status >= 0 && OnTheLineByAnError(&codes[width * i])) phases[i] = RUDID_PHASE_SATURATION_LINE;
        row.phase = status < 0 ? "" : RudidPhaseName(phases[i]);
    }
    if (status >= 0) NoteQualities(&rows, codes, phases, states, refined);
    if (status >= 0)
        DeriveRows(&rows, states, codes, solvedPhases, flags, a, b);
    else
        for (StateRow &row : rows) std::fill(std::begin(row.derived), std::end(row.derived), row.properties[0]);
    for (StateRow &row : rows) {
        for (std::size_t k = 0; k < kStatePropertyCount; ++k) {
            const bool quality = kStateProperties[k] == Quantity::Quality;
            if (!quality || row.qualityMeaningful || row.qualityNote.empty())
                row.exitStatus = std::max(row.exitStatus, StatusOf(row.properties[k]));
        }
    }
    return rows;
}

}  // namespace rudid::cli
