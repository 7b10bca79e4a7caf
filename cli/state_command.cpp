// The whole state of water or steam from two given properties, each other
// property from the property function that applies.
#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "configured_units.h"
#include "library_call.h"
#include "number_text.h"

namespace rudid::cli {

namespace {

struct StateKey {
    char key;
    Quantity quantity;
};

constexpr StateKey kKeys[] = {
    {'p', Quantity::Pressure},        {'T', Quantity::Temperature},     {'h', Quantity::SpecificEnthalpy},
    {'s', Quantity::SpecificEntropy}, {'v', Quantity::SpecificVolume}, {'x', Quantity::Quality},
};

// The properties of a state, in the order they are printed.
constexpr Quantity kShown[] = {Quantity::Temperature,      Quantity::Pressure,        Quantity::SpecificVolume,
                               Quantity::SpecificEnthalpy, Quantity::SpecificEntropy, Quantity::Quality};

// Per pair of given keys, the export that gives each shown property: ""
// for a given one, kQualityBySaturation where no export answers.
constexpr const char *kQualityBySaturation = "*";
struct StateRecipe {
    char first, second;
    const char *exports[6];
};
constexpr StateRecipe kRecipes[] = {
    {'p', 'T', {"", "", "AQPPTV", "AQPPTH", "AQPPTS", kQualityBySaturation}},
    {'p', 'h', {"AQPPHT", "", "AQPPHV", "", "AQPPHS", "AQPPHQ"}},
    {'p', 's', {"AQPPST", "", "AQPPSV", "AQPPSH", "", "AQPPSQ"}},
    {'p', 'v', {"AQPPVT", "", "", "AQPPVH", "AQPPVS", "AQPPVQ"}},
    {'p', 'x', {"AQPPT", "", "AQPPQV", "AQPPQH", "AQPPQS", ""}},
    {'T', 'x', {"", "AQPTP", "AQPTQV", "AQPTQH", "AQPTQS", ""}},
};

struct Given {
    char key;
    Quantity quantity;
    double value;
};

struct Line {
    std::string text;
    int exitStatus = kExitOk;
};

const StateKey *FindKey(const std::string &key) {
    for (const StateKey &known : kKeys)
        if (key.size() == 1 && key[0] == known.key) return &known;
    return nullptr;
}

double GivenValue(const Given given[2], Quantity quantity) {
    return given[0].quantity == quantity ? given[0].value : given[1].value;
}

Line Describe(const Outcome &outcome, const std::string &unit, const OutputOptions &output) {
    switch (outcome.kind) {
        case OutcomeKind::Value: {
            std::string text = FormatNumber(outcome.value, output.digits);
            if (!unit.empty()) text += " " + unit;
            return {text, kExitOk};
        }
        case OutcomeKind::RangeError:
            return {"error " + std::to_string(outcome.code) + ": " + outcome.message, kExitOutOfRange};
        case OutcomeKind::Failure:
            return {"failed: " + outcome.message + " (code " + std::to_string(outcome.code) + ")", kExitFailure};
    }
    return {"", kExitFailure};
}

// Quality at a pressure and a temperature: no export answers it, so the
// temperature is compared with the saturation temperature at that pressure.
Line QualityBySaturation(const Given given[2], const OutputOptions &output) {
    const Outcome saturation = CallExport(*FindExport("AQPPT"), GivenValue(given, Quantity::Pressure), 0);
    if (saturation.kind == OutcomeKind::RangeError && saturation.code == -1004)
        return {"none (pressure above the critical pressure)", kExitOk};
    if (saturation.kind != OutcomeKind::Value) return Describe(saturation, "", output);
    const double temperature = GivenValue(given, Quantity::Temperature);
    if (temperature == saturation.value)
        return {"undetermined (on the saturation line: give a quality instead)", kExitOutOfRange};
    return {temperature < saturation.value ? "0" : "1", kExitOk};
}

bool ParseAssignment(const std::string &text, Given *given) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        std::fprintf(stderr, "rudid32 state: \"%s\" is not KEY=VALUE\n", text.c_str());
        return false;
    }
    const std::string key = text.substr(0, equals);
    const StateKey *known = FindKey(key);
    if (!known) {
        std::fprintf(stderr, "rudid32 state: unknown key \"%s\" (keys: p, T, h, s, v, x)\n", key.c_str());
        return false;
    }
    const std::optional<double> value = ParseNumber(std::string_view(text).substr(equals + 1));
    if (!value) {
        std::fprintf(stderr, "rudid32 state: %s: \"%s\" is not a number\n", key.c_str(),
                     text.substr(equals + 1).c_str());
        return false;
    }
    *given = {known->key, known->quantity, *value};
    return true;
}

const StateRecipe *FindRecipe(char a, char b) {
    for (const StateRecipe &recipe : kRecipes)
        if ((recipe.first == a && recipe.second == b) || (recipe.first == b && recipe.second == a)) return &recipe;
    return nullptr;
}

}  // namespace

int RunState(const std::vector<std::string> &assignments, const OutputOptions &output) {
    if (assignments.size() != 2) {
        std::fprintf(stderr, "rudid32 state: give two properties, e.g. p=10 h=3000\n");
        return kExitUsage;
    }
    Given given[2];
    if (!ParseAssignment(assignments[0], &given[0]) || !ParseAssignment(assignments[1], &given[1]))
        return kExitUsage;
    const StateRecipe *recipe = FindRecipe(given[0].key, given[1].key);
    if (!recipe) {
        std::fprintf(stderr, "rudid32 state: no property function takes %c and %c; give p,T p,h p,s p,v p,x or T,x\n",
                     given[0].key, given[1].key);
        return kExitUsage;
    }

    const ConfiguredUnits units = LoadConfiguredUnits();
    int status = kExitOk;
    for (std::size_t i = 0; i < std::size(kShown); ++i) {
        const Quantity quantity = kShown[i];
        const std::string unit = units.NameOf(quantity);
        const std::string exportName = recipe->exports[i];
        Line line;
        if (exportName.empty()) {
            line = Describe({OutcomeKind::Value, GivenValue(given, quantity), 0, {}}, unit, output);
        } else if (exportName == kQualityBySaturation) {
            line = QualityBySaturation(given, output);
        } else {
            const ExportInfo &info = *FindExport(exportName);
            const double first = GivenValue(given, info.arguments[0]);
            const double second = info.arity == 2 ? GivenValue(given, info.arguments[1]) : 0;
            line = Describe(CallExport(info, first, second), unit, output);
        }
        if (line.exitStatus > status) status = line.exitStatus;
        std::printf("%-18s %s\n", QuantityWord(quantity), line.text.c_str());
    }
    return status;
}

}  // namespace rudid::cli
