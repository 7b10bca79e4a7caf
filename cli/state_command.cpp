// The whole state of water or steam from two given properties, printed one
// property a line, with its phase and any caution the library gives.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "caution.h"
#include "commands.h"
#include "configured_units.h"
#include "library_call.h"
#include "number_text.h"
#include "whole_state.h"

namespace rudid::cli {

namespace {

struct Given {
    const StateKey *key;
    double value;
};

bool ParseAssignment(const std::string &text, Given *given) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        std::fprintf(stderr, "rudid32 state: \"%s\" is not KEY=VALUE\n", text.c_str());
        return false;
    }
    const std::string key = text.substr(0, equals);
    const StateKey *known = FindStateKey(key);
    if (!known) {
        std::fprintf(stderr, "rudid32 state: unknown key \"%s\" (keys: p, T, h, s, v, x; u with p; rho)\n",
                     key.c_str());
        return false;
    }
    const std::string value = std::string(TrimBlanks(std::string_view(text).substr(equals + 1)));
    const std::string problem = ReadArgument(value, &given->value);
    if (!problem.empty()) {
        std::fprintf(stderr, "rudid32 state: %s: \"%s\" %s\n", key.c_str(), value.c_str(), problem.c_str());
        return false;
    }
    given->key = known;
    return true;
}

// Whether a refined and a table answer differ by more than 0.1 % (a
// quality by more than 0.001), or one has a value and the other not.
bool AnswersDiffer(const Outcome &refined, const Outcome &table) {
    if (refined.kind != OutcomeKind::Value || table.kind != OutcomeKind::Value)
        return refined.kind != table.kind || refined.code != table.code;
    const double difference = std::fabs(refined.value - table.value);
    return difference > 0.001 * std::max(std::fabs(refined.value), 1.0);
}

}  // namespace

std::string DescribeOutcome(const Outcome &outcome, const std::string &unit, const OutputOptions &output) {
    switch (outcome.kind) {
        case OutcomeKind::Value: {
            std::string text = FormatNumber(outcome.value, output.digits);
            if (!unit.empty()) text += " " + unit;
            return text;
        }
        case OutcomeKind::RangeError:
            if (outcome.code == 0) return outcome.message;  // no state found, not a library code
            return "error " + std::to_string(outcome.code) + ": " + outcome.message;
        case OutcomeKind::Failure:
            return "failed: " + outcome.message + " (code " + std::to_string(outcome.code) + ")";
    }
    return "";
}

int RunState(const std::vector<std::string> &assignments, const OutputOptions &output) {
    if (assignments.size() != 2) {
        std::fprintf(stderr, "rudid32 state: give two properties, e.g. p=10 h=3000\n");
        return kExitUsage;
    }
    Given given[2];
    if (!ParseAssignment(assignments[0], &given[0]) || !ParseAssignment(assignments[1], &given[1]))
        return kExitUsage;
    if (!StatePairSolvable(given[0].key->quantity, given[1].key->quantity)) {
        std::fprintf(stderr, "rudid32 state: %c and %c do not fix a state; give two different keys (u with p, "
                     "a density not with v)\n",
                     given[0].key->key, given[1].key->key);
        return kExitUsage;
    }

    const double first[] = {given[0].value}, second[] = {given[1].value};
    const auto solve = [&](bool refined) {
        return SolveStates(given[0].key->quantity, given[1].key->quantity, first, second, true, refined)[0];
    };
    const bool refined = RefinedAnswers();
    const StateRow row = solve(refined);
    // Beside each answer, the other kind's where the two differ by more
    // than 0.1 %: the table's beside a refined one, and the other way round.
    const StateRow other = solve(!refined);
    const std::string otherName = refined ? "table answer: " : "refined answer: ";
    for (std::size_t k = 0; k < kStatePropertyCount; ++k) {
        const Quantity quantity = kStateProperties[k];
        const bool note = quantity == Quantity::Quality && !row.qualityMeaningful && !row.qualityNote.empty();
        std::string text = note ? row.qualityNote : DescribeOutcome(row.properties[k], UnitOf(quantity), output);
        if (!note && AnswersDiffer(row.properties[k], other.properties[k]))
            text += "   (" + otherName + DescribeOutcome(other.properties[k], UnitOf(quantity), output) + ")";
        std::printf("%-20s %s\n", QuantityWord(quantity).c_str(), text.c_str());
    }
    std::printf("%-20s %s\n", "phase", row.phase.empty() ? "unknown" : row.phase.c_str());
    // The derived properties; a property the state has not (wet steam's cp)
    // says why, and does not change the exit status.
    for (std::size_t k = 0; k < kDerivedCount; ++k) {
        const Outcome &derived = row.derived[k];
        const std::string text = derived.kind == OutcomeKind::RangeError && derived.message.starts_with("none")
                                     ? derived.message
                                     : DescribeOutcome(derived, DerivedUnit(k), output);
        std::printf("%-20s %s\n", DerivedWord(k).c_str(), text.c_str());
    }
    // Each property's cautions, named: the tables can be poor for one
    // property of a state and good for the others.
    for (const std::string &line : PropertyCautionLines(row.propertyFlags, kStateSymbols))
        std::printf("%s\n", line.c_str());
    if (row.exitStatus == kExitOk && row.flags > 0 && output.strict) return kExitCaution;
    return row.exitStatus;
}

}  // namespace rudid::cli
