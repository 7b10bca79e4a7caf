// The library's state solver (RudidSolveStates) with pairs of p, T, h, s,
// v, x chosen by the input: taken from a state of the tables (a liquid, wet
// steam, vapour or supercritical fluid of a pressure with a temperature or
// quality) or raw doubles, a few rows at once, in the internal units or
// others, with table or refined answers. Every state answered must give
// back both properties it was given within the documented tolerance (each
// measured here on its own, in the internal units): a pair it cannot give
// back is RUDID_NO_STATE, never another state with codes 0. The derived
// properties of the same rows: one by name gives what all nine give, bit
// for bit, with the same code and flags (it solves only what it needs);
// each answered but the internal energy (below zero in cold compressed
// water) is positive, and the density is the inverse of the state's volume;
// derived from the solved rows, they are the same again, and rows a caller
// made up do not crash the derivation.
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_checks.h"
#include "rudid32.h"
#include "support/test_files.h"

namespace {

using namespace rudid::fuzzing;
constexpr int kWidth = RUDID_STATE_PROPERTIES;
// The letters of RudidSolveStates' pairs and the quantity codes of the
// properties, in the order of a state's row.
constexpr char kLetters[] = "pThsvx";
constexpr int kQuantities[kWidth] = {RUDID_PRESSURE,         RUDID_TEMPERATURE,     RUDID_SPECIFIC_ENTHALPY,
                                     RUDID_SPECIFIC_ENTROPY, RUDID_SPECIFIC_VOLUME, RUDID_QUALITY};

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

// A context of each choice of units, opened on the scratch directory's
// default.cfg as it is written for it.
RudidContext *ContextOf(int choice) {
    static RudidContext *contexts[std::size(kUnitChoices)] = {};
    if (contexts[choice]) return contexts[choice];
    std::vector<std::uint8_t> bytes(62, 0);
    for (const auto &[word, selection] : kUnitChoices[choice]) bytes[2 * word] = std::uint8_t(selection);
    Scratch().write("default.cfg", bytes);
    contexts[choice] = RudidOpen(Scratch().path().c_str(), nullptr, RUDID_KEEP_TABLES);
    FUZZ_CHECK(contexts[choice] != nullptr, RudidContextMessage(nullptr));
    return contexts[choice];
}

std::string Describe(int k, double given, double answer) {
    return std::string(1, kLetters[k]) + " " + std::to_string(given) + " given back as " + std::to_string(answer);
}

// The tolerance as documented: 1e-4 of the value in the internal units, a
// temperature on the absolute scale, floors 1 kJ/kg (h), 0.01 kJ/(kg K)
// (s) and 1 (x).
bool NearEnough(RudidContext *context, int k, double given, double answer) {
    if (answer == given) return true;  // beyond the conversions' range too
    const int q = kQuantities[k];
    double want = RudidContextConvert(context, q, given, 0), got = RudidContextConvert(context, q, answer, 0);
    double floor = 0;
    if (k == RUDID_STATE_T) want += 273.15, got += 273.15;
    if (k == RUDID_STATE_H) floor = 1;
    if (k == RUDID_STATE_S) floor = 0.01;
    if (k == RUDID_STATE_X) floor = 1;
    return std::fabs(got - want) <= 1e-4 * std::fmax(std::fabs(want), floor);
}

// The states of rows of a pair, and each property's code.
struct Solved {
    std::vector<double> states;
    std::vector<int> codes, phase;
    int status;
};
Solved Solve(RudidContext *context, const char *given, int options, const std::vector<double> &first, const std::vector<double> &second) {
    Solved solved{std::vector<double>(kWidth * first.size()), std::vector<int>(kWidth * first.size()),
                  std::vector<int>(first.size()), 0};
    solved.status = RudidSolveStates(context, given, options, first.size(), first.data(), second.data(),
                                     solved.states.data(), solved.codes.data(), solved.phase.data(), nullptr);
    return solved;
}

// A state of the tables from the input: its row of properties, or none.
bool StateFrom(RudidContext *context, FuzzedDataProvider &data, Solved *state) {
    const auto unit = [&](double t) { return data.ConsumeProbability<double>() * t; };
    const double bar = 0.01 * std::pow(1e5, unit(1.0));
    const bool wet = data.ConsumeBool();
    const std::vector<double> p = {RudidContextConvert(context, RUDID_PRESSURE, bar, 1)};
    const std::vector<double> other = {wet ? unit(1.0)
                                           : RudidContextConvert(context, RUDID_TEMPERATURE, unit(800.0), 1)};
    *state = Solve(context, wet ? "px" : "pT", 0, p, other);
    return state->status == 0;
}

void CheckDerived(RudidContext *context, const char *given, int options, const std::vector<double> &first,
                  const std::vector<double> &second, const Solved &solved, int property) {
    constexpr std::size_t kDerived = RUDID_DERIVED_PROPERTIES;
    const std::size_t n = first.size();
    std::vector<double> all(kDerived * n), one(n);
    std::vector<int> codes(kDerived * n), flags(kDerived * n), failure(n), oneFlags(n);
    const int count = RudidSolveProperties(context, given, options, n, first.data(), second.data(), all.data(),
                                           codes.data(), flags.data());
    FUZZ_CHECK(count >= 0, "the properties refused");
    FUZZ_CHECK(RudidContextProperty(context, RudidPropertySymbol(property), given, options, n, first.data(),
                                    second.data(), one.data(), failure.data(), oneFlags.data()) >= 0,
               "the property by name refused");
    // From the solved rows, without solving them again: the same values and
    // codes (the rows were solved without flags).
    std::vector<double> fromStates(kDerived * n);
    std::vector<int> fromStatesCodes(kDerived * n);
    FUZZ_CHECK(RudidDeriveStates(context, n, solved.states.data(), solved.codes.data(), solved.phase.data(), nullptr,
                                 fromStates.data(), fromStatesCodes.data(), nullptr) == count,
               "derived from the states, another count");
    for (std::size_t at = 0; at < kDerived * n; ++at)
        FUZZ_CHECK(fromStatesCodes[at] == codes[at] && (codes[at] != 0 || std::bit_cast<std::uint64_t>(fromStates[at]) ==
                                                                              std::bit_cast<std::uint64_t>(all[at])),
                   "derived from the states, another answer");
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t row = kDerived * i, at = row + std::size_t(property);
        FUZZ_CHECK(failure[i] == codes[at], std::string("by name another code: ") + RudidPropertySymbol(property));
        FUZZ_CHECK(oneFlags[i] == flags[at], std::string("by name other flags: ") + RudidPropertySymbol(property));
        FUZZ_CHECK(failure[i] != 0 || std::bit_cast<std::uint64_t>(one[i]) == std::bit_cast<std::uint64_t>(all[at]),
                   std::string("by name another value: ") + RudidPropertySymbol(property));
        for (std::size_t k = 0; k < kDerived; ++k) {
            if (codes[row + k] != 0 || k == RUDID_PROPERTY_INTERNAL_ENERGY) continue;
            const double value = all[row + k];
            FUZZ_CHECK(value > 0 || (k == RUDID_PROPERTY_SURFACE_TENSION && value == 0),
                       std::string("not positive: ") + RudidPropertySymbol(int(k)) + " " + std::to_string(value) +
                           " at " + given + " " + std::to_string(first[i]) + ", " + std::to_string(second[i]));
        }
        const std::size_t v = std::size_t(kWidth) * i + RUDID_STATE_V;
        if (codes[row + RUDID_PROPERTY_DENSITY] == 0 && solved.codes[v] == 0) {
            const double rho = RudidContextConvert(context, RUDID_DENSITY, all[row + RUDID_PROPERTY_DENSITY], 0);
            const double volume = RudidContextConvert(context, RUDID_SPECIFIC_VOLUME, solved.states[v], 0);
            FUZZ_CHECK(std::fabs(rho * volume - 1) <= 1e-9, "density not the inverse of the volume");
        }
    }
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
    RudidContext *context = ContextOf(data.ConsumeIntegralInRange(0, int(std::size(kUnitChoices)) - 1));
    const int a = data.ConsumeIntegralInRange(0, 5);
    int b = data.ConsumeIntegralInRange(0, 4);
    if (b == a) b = 5;
    std::vector<double> first, second;
    for (int rows = data.ConsumeIntegralInRange(1, 4); rows > 0; --rows) {
        Solved state;
        if (data.ConsumeBool() && StateFrom(context, data, &state)) {
            if (state.codes[std::size_t(a)] != 0 || state.codes[std::size_t(b)] != 0) continue;
            first.push_back(state.states[std::size_t(a)]), second.push_back(state.states[std::size_t(b)]);
        } else {
            const double one = ArgumentFrom(data), two = ArgumentFrom(data);
            if (std::isfinite(one) && std::isfinite(two)) first.push_back(one), second.push_back(two);
        }
    }
    if (first.empty()) return 0;
    const char given[] = {kLetters[a], kLetters[b], '\0'};
    const int options = data.ConsumeBool() ? RUDID_REFINED : RUDID_TABLE;
    const Solved solved = Solve(context, given, options, first, second);
    FUZZ_CHECK(solved.status >= 0, "the rows refused");
    for (std::size_t i = 0; i < first.size(); ++i) {
        const std::size_t at = std::size_t(kWidth) * i;
        const int codeA = solved.codes[at + std::size_t(a)], codeB = solved.codes[at + std::size_t(b)];
        FUZZ_CHECK((codeA == RUDID_NO_STATE) == (codeB == RUDID_NO_STATE), "no state for one given property only");
        if (codeA != 0 || codeB != 0) continue;
        const double one = solved.states[at + std::size_t(a)], two = solved.states[at + std::size_t(b)];
        FUZZ_CHECK(NearEnough(context, a, first[i], one), Describe(a, first[i], one));
        FUZZ_CHECK(NearEnough(context, b, second[i], two), Describe(b, second[i], two));
    }
    CheckDerived(context, given, options, first, second, solved,
                 data.ConsumeIntegralInRange(0, RUDID_DERIVED_PROPERTIES - 1));
    // Rows a caller made up: any values, codes and phases, only no crash.
    std::vector<double> madeUp(kWidth * first.size()), out(RUDID_DERIVED_PROPERTIES * first.size());
    std::vector<int> madeUpCodes(madeUp.size()), madeUpPhase(first.size()), outCodes(out.size());
    for (std::size_t at = 0; at < madeUp.size(); ++at)
        madeUp[at] = ArgumentFrom(data), madeUpCodes[at] = data.ConsumeIntegralInRange(-1030, 20);
    for (int &phase : madeUpPhase) phase = data.ConsumeIntegralInRange(-2, 9);
    RudidDeriveStates(context, first.size(), madeUp.data(), madeUpCodes.data(), madeUpPhase.data(), nullptr,
                      out.data(), outCodes.data(), nullptr);
    return 0;
}
