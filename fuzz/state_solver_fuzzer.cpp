// The tool's state solver (cli/state_solver.cpp, cli/pressure_search.cpp)
// with pairs of p, T, h, s, v, x chosen by the input: taken from a state of
// the tables (a liquid, wet steam, vapour or supercritical fluid of a
// pressure with a temperature or quality) or raw doubles, a few rows at
// once, in the internal units or others. Every state answered must give
// back both properties it was given within the documented tolerance (each
// measured here on its own, in the internal units): a pair it cannot give
// back is "no state", never another state with exit status 0.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config/startup.h"
#include "fuzz_checks.h"
#include "state_solver.h"
#include "support/test_files.h"

namespace {

using namespace rudid::fuzzing;
using CliOutcome = rudid::cli::Outcome;
using rudid::cli::OutcomeKind;
using rudid::cli::Quantity;

rudid::testing::ScratchDirectory &Scratch() {
    static rudid::testing::ScratchDirectory scratch;
    return scratch;
}

// default.cfg words: pressure 3, enthalpy 5, temperature 6, entropy 10,
// volume 12. The internal units; psi, Btu/lbm, F, Btu/lbm,F, ft3/lbm; MPa, K.
const std::vector<std::pair<int, int>> kUnitChoices[] = {
    {{12, 1}},
    {{3, 10}, {5, 3}, {6, 2}, {10, 3}, {12, 4}},
    {{3, 3}, {6, 1}, {12, 1}},
};

void UseUnits(int choice) {
    static int current = -1;
    if (choice == current) return;
    std::vector<std::uint8_t> bytes(62, 0);
    for (const auto &[word, selection] : kUnitChoices[choice]) bytes[2 * word] = std::uint8_t(selection);
    Scratch().write("default.cfg", bytes);
    rudid::LoadStartupConfiguration();
    current = choice;
}

constexpr Quantity kKeys[] = {Quantity::Pressure,        Quantity::Temperature,    Quantity::SpecificEnthalpy,
                              Quantity::SpecificEntropy, Quantity::SpecificVolume, Quantity::Quality};

std::size_t IndexOf(Quantity q) {
    for (std::size_t k = 0; k < rudid::cli::kStatePropertyCount; ++k)
        if (rudid::cli::kStateProperties[k] == q) return k;
    return 0;
}

std::string Describe(Quantity q, double given, double answer) {
    return rudid::cli::QuantityWord(q) + " " + std::to_string(given) + " given back as " + std::to_string(answer);
}

// The tolerance as documented: 1e-4 of the value in the internal units, a
// temperature on the absolute scale, floors 1 kJ/kg (h), 0.01 kJ/(kg K)
// (s) and 1 (x).
bool NearEnough(Quantity q, double given, double answer) {
    if (answer == given) return true;  // beyond the conversions' range too
    double want = RudidFromConfiguredUnit(int(q), given), got = RudidFromConfiguredUnit(int(q), answer);
    double floor = 0;
    if (q == Quantity::Temperature) want += 273.15, got += 273.15;
    if (q == Quantity::SpecificEnthalpy) floor = 1;
    if (q == Quantity::SpecificEntropy) floor = 0.01;
    if (q == Quantity::Quality) floor = 1;
    return std::fabs(got - want) <= 1e-4 * std::fmax(std::fabs(want), floor);
}

// A state of the tables from the input: its row of properties, or none.
bool StateFrom(FuzzedDataProvider &data, rudid::cli::StateRow *state) {
    const auto unit = [&](double t) { return data.ConsumeProbability<double>() * t; };
    const double bar = 0.01 * std::pow(1e5, unit(1.0));
    const bool wet = data.ConsumeBool();
    const Quantity second = wet ? Quantity::Quality : Quantity::Temperature;
    const double p[] = {RudidToConfiguredUnit(int(Quantity::Pressure), bar)};
    const double other[] = {wet ? unit(1.0) : RudidToConfiguredUnit(int(Quantity::Temperature), unit(800.0))};
    *state = rudid::cli::SolveStates(Quantity::Pressure, second, p, other, rudid::cli::EvaluateByBatch, false)[0];
    return state->exitStatus == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    PreferMemoryForScratchFiles();
    for (const char *table : {"zarude.dat", "vevuzu.dat", "didizar.dat"})
        std::filesystem::create_symlink(std::string(RUDID_DATA_DIRECTORY) + "/" + table, Scratch().file(table));
    Scratch().write("data.ini", "[STARTUP]\nDIR=" + Scratch().path() + "\n");
    ::setenv("ZAREVIRU_INI", Scratch().file("data.ini").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    UseUnits(data.ConsumeIntegralInRange(0, int(std::size(kUnitChoices)) - 1));
    const Quantity a = kKeys[data.ConsumeIntegralInRange(0, 5)];
    Quantity b = kKeys[data.ConsumeIntegralInRange(0, 4)];
    if (b == a) b = kKeys[5];
    std::vector<double> first, second;
    for (int rows = data.ConsumeIntegralInRange(1, 4); rows > 0; --rows) {
        rudid::cli::StateRow state;
        if (data.ConsumeBool() && StateFrom(data, &state)) {
            const CliOutcome &one = state.properties[IndexOf(a)], &two = state.properties[IndexOf(b)];
            if (one.kind != OutcomeKind::Value || two.kind != OutcomeKind::Value) continue;
            if ((a == Quantity::Quality || b == Quantity::Quality) && !state.qualityMeaningful) continue;
            first.push_back(one.value), second.push_back(two.value);
        } else {
            // The tool refuses what is not a finite number before solving.
            const double one = ArgumentFrom(data), two = ArgumentFrom(data);
            if (std::isfinite(one) && std::isfinite(two)) first.push_back(one), second.push_back(two);
        }
    }
    if (first.empty()) return 0;
    const std::vector<rudid::cli::StateRow> solved =
        rudid::cli::SolveStates(a, b, first, second, rudid::cli::EvaluateByBatch, data.ConsumeBool());
    FUZZ_CHECK(solved.size() == first.size(), "a row lost");
    for (std::size_t i = 0; i < solved.size(); ++i) {
        const CliOutcome &one = solved[i].properties[IndexOf(a)], &two = solved[i].properties[IndexOf(b)];
        const bool answered = one.kind == OutcomeKind::Value && two.kind == OutcomeKind::Value;
        FUZZ_CHECK(answered || solved[i].exitStatus != 0, "exit status 0 without the given properties");
        if (!answered) continue;
        FUZZ_CHECK(NearEnough(a, first[i], one.value), Describe(a, first[i], one.value));
        FUZZ_CHECK(NearEnough(b, second[i], two.value), Describe(b, second[i], two.value));
    }
    return 0;
}
