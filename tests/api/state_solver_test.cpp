// The whole state from any pair (RudidSolveStates): random states of every
// phase, given by each of the fifteen pairs, come back as states that give
// back their pair within the documented tolerance, or as RUDID_NO_STATE for
// few of them; pairs of a property function answer exactly as it does; the
// same states are found in contexts of other units.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

constexpr int kWidth = RUDID_STATE_PROPERTIES;
constexpr char kLetters[] = "pThsvx";
constexpr int kQuantity[kWidth] = {RUDID_PRESSURE,         RUDID_TEMPERATURE,     RUDID_SPECIFIC_ENTHALPY,
                                   RUDID_SPECIFIC_ENTROPY, RUDID_SPECIFIC_VOLUME, RUDID_QUALITY};

struct Solved {
    int status;
    std::vector<double> states;
    std::vector<int> codes, phase;
};

class StateSolver : public ::testing::Test {
public:
    static void SetUpTestSuite() { lib_ = new LibraryInstance(ShippedSetup()); }
    static void TearDownTestSuite() { delete lib_; }

    template <class F>
    static F Get(const char *name) { return lib_->Symbol<F>(name); }

    static Solved Solve(RudidContext *context, const std::string &given, const std::vector<double> &first,
                        const std::vector<double> &second, int options = 0) {
        Solved s{0, std::vector<double>(kWidth * first.size()), std::vector<int>(kWidth * first.size()),
                 std::vector<int>(first.size())};
        s.status = Get<decltype(&::RudidSolveStates)>("RudidSolveStates")(
            context, given.c_str(), options, first.size(), first.data(), second.data(), s.states.data(),
            s.codes.data(), s.phase.data(), nullptr);
        return s;
    }

    static RudidContext *Open(const char *units) {
        return Get<decltype(&::RudidOpen)>("RudidOpen")(nullptr, units, RUDID_KEEP_TABLES);
    }
    static void Close(RudidContext *context) { Get<decltype(&::RudidClose)>("RudidClose")(context); }
    static double Internal(RudidContext *context, int k, double value) {
        return Get<decltype(&::RudidContextConvert)>("RudidContextConvert")(context, kQuantity[k], value, 0);
    }

    // The documented tolerance, measured here in the internal units.
    static bool GivesBack(RudidContext *context, int k, double given, double answer) {
        double want = Internal(context, k, given), got = Internal(context, k, answer);
        const double floors[kWidth] = {0, 0, 1, 0.01, 0, 1};
        if (k == 1) want += 273.15, got += 273.15;
        return std::fabs(got - want) <= 1e-4 * std::fmax(std::fabs(want), floors[k]);
    }

    static LibraryInstance *lib_;
};
LibraryInstance *StateSolver::lib_ = nullptr;

// Rows of states of every phase, in internal units: compressed liquid,
// superheated vapour and supercritical fluid from (p, T), wet steam from
// (p, x); only rows with every value but the quality kept.
Solved RandomStates(std::size_t each, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> pressures, qualities;
    for (std::size_t i = 0; i < each; ++i) pressures.push_back(0.01 * std::pow(22100.0, unit(random)));
    for (std::size_t i = 0; i < each; ++i) qualities.push_back(unit(random));
    const Solved wet = StateSolver::Solve(nullptr, "px", pressures, qualities);
    std::vector<double> p, t;
    for (std::size_t i = 0; i < each; ++i) {
        const double ts = wet.states[kWidth * i + 1];
        p.push_back(pressures[i]), t.push_back(unit(random) * (ts - 0.5));
        p.push_back(pressures[i]), t.push_back(ts + 0.5 + unit(random) * (799 - ts));
        p.push_back(230 * std::pow(4.3, unit(random))), t.push_back(380 + 419 * unit(random));
    }
    Solved all = StateSolver::Solve(nullptr, "pT", p, t);
    all.states.insert(all.states.end(), wet.states.begin(), wet.states.end());
    all.codes.insert(all.codes.end(), wet.codes.begin(), wet.codes.end());
    all.phase.insert(all.phase.end(), wet.phase.begin(), wet.phase.end());
    return all;
}

TEST_F(StateSolver, EveryPairOfRandomStatesGivesItsPairBackOrNoState) {
    const Solved states = RandomStates(150, 20261207);
    std::set<int> phases(states.phase.begin(), states.phase.end());
    EXPECT_EQ(phases, (std::set<int>{RUDID_PHASE_COMPRESSED_LIQUID, RUDID_PHASE_WET_STEAM,
                                     RUDID_PHASE_SUPERHEATED_VAPOUR, RUDID_PHASE_SUPERCRITICAL_FLUID}));
    for (int a = 0; a < kWidth; ++a)
        for (int b = a + 1; b < kWidth; ++b) {
            std::vector<double> first, second;
            for (std::size_t i = 0; i < states.phase.size(); ++i) {
                const std::size_t at = kWidth * i;
                if (states.codes[at + a] != 0 || states.codes[at + b] != 0) continue;
                if (a == 0 && b == 1 && states.phase[i] == RUDID_PHASE_WET_STEAM) continue;
                first.push_back(states.states[at + a]), second.push_back(states.states[at + b]);
            }
            ASSERT_GE(first.size(), 140u) << kLetters[a] << kLetters[b];
            const std::string given = {kLetters[a], kLetters[b]};
            const Solved solved = Solve(nullptr, given, first, second);
            std::size_t none = 0;
            for (std::size_t i = 0; i < first.size(); ++i) {
                const std::size_t at = kWidth * i;
                if (solved.codes[at + a] == RUDID_NO_STATE) {
                    ++none;
                    for (int k = 0; k < kWidth; ++k) EXPECT_EQ(solved.codes[at + k], RUDID_NO_STATE);
                    continue;
                }
                ASSERT_EQ(solved.codes[at + a], 0) << given << " row " << i;
                ASSERT_EQ(solved.codes[at + b], 0) << given << " row " << i;
                EXPECT_TRUE(GivesBack(nullptr, a, first[i], solved.states[at + a])) << given << " " << first[i];
                EXPECT_TRUE(GivesBack(nullptr, b, second[i], solved.states[at + b])) << given << " " << second[i];
                EXPECT_NE(solved.phase[i], RUDID_PHASE_UNKNOWN) << given << " row " << i;
            }
            EXPECT_EQ(solved.status, int(none)) << given;
            // Volumes of a liquid hardly tell the pressure: a few more there.
            EXPECT_LE(none, first.size() / (b == 4 ? 12 : 25)) << given << ": " << none << " of " << first.size();
        }
}

// Cold liquid just above the tables' lowest pressure: there the refined
// answers at a temperature hardly change with the pressure and turn back
// between the scan's first points, so the search must look between them
// before it gives up.
TEST_F(StateSolver, StatesWhereTheTablesTurnBackBetweenScanPointsAreFound) {
    std::vector<double> p, t;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) p.push_back(0.0101 + 0.00005 * i), t.push_back(4.8 + 0.05 * j);
    p.push_back(0.010202507191933377), t.push_back(4.968542137126164);
    const Solved states = Solve(nullptr, "pT", p, t, RUDID_REFINED);
    for (const char *given : {"Th", "hv", "sv"}) {
        const int a = int(std::strchr(kLetters, given[0]) - kLetters), b = int(std::strchr(kLetters, given[1]) - kLetters);
        std::vector<double> first, second;
        for (std::size_t i = 0; i < p.size(); ++i)
            first.push_back(states.states[kWidth * i + a]), second.push_back(states.states[kWidth * i + b]);
        const Solved solved = Solve(nullptr, given, first, second, RUDID_REFINED);
        EXPECT_EQ(solved.status, 0) << given;
        for (std::size_t i = 0; i < p.size(); ++i) {
            ASSERT_EQ(solved.codes[kWidth * i + a], 0) << given << " from " << p[i] << " bar, " << t[i] << " C";
            EXPECT_TRUE(GivesBack(nullptr, a, first[i], solved.states[kWidth * i + a])) << given;
            EXPECT_TRUE(GivesBack(nullptr, b, second[i], solved.states[kWidth * i + b])) << given;
        }
    }
}

TEST_F(StateSolver, PairsOfAFunctionAnswerExactlyAsTheFunction) {
    const std::vector<double> p = {10, 1, 300, 0.05}, t = {300, 50, 500, 20};
    const Solved solved = Solve(nullptr, "pT", p, t);
    for (std::size_t i = 0; i < p.size(); ++i) {
        EXPECT_EQ(solved.states[kWidth * i + 2], *lib_->AQPPTH(p[i], t[i]));
        EXPECT_EQ(solved.states[kWidth * i + 3], *lib_->AQPPTS(p[i], t[i]));
        EXPECT_EQ(solved.states[kWidth * i + 4], *lib_->AQPPTV(p[i], t[i]));
        EXPECT_EQ(solved.codes[kWidth * i + 5], RUDID_NO_QUALITY);
    }
    // Given in the other order, and a wet state by its pressure.
    const Solved swapped = Solve(nullptr, "xp", {0.25}, {10});
    EXPECT_EQ(swapped.states[2], *lib_->AQPPQH(10, 0.25));
    EXPECT_EQ(swapped.states[1], *lib_->AQPPT(10));
    EXPECT_EQ(swapped.phase[0], RUDID_PHASE_WET_STEAM);
    const Solved line = Solve(nullptr, "pT", {10}, {*lib_->AQPPT(10)});
    EXPECT_EQ(line.phase[0], RUDID_PHASE_SATURATION_LINE);
    EXPECT_EQ(line.codes[2], RUDID_ON_SATURATION_LINE);
}

// A pair that property functions take has each other property looked up
// once a row for all of them: every value, code and flag must still be
// what the property function's own batch gives, table and refined, across
// the phases and beyond the tables (the rows here include pressures and
// temperatures out of range and arguments on no table at all).
TEST_F(StateSolver, PropertiesLookedUpTogetherAreEachFunctionsOwnBits) {
    const auto evaluate = Get<decltype(&::RudidContextEvaluate)>("RudidContextEvaluate");
    const Solved states = RandomStates(150, 7);
    const std::size_t n = states.phase.size();
    struct Pair {
        const char *given;
        int first, second;
        // Of each property, by the pair in its order; not the quality,
        // which the phase may replace with RUDID_NO_QUALITY.
        const char *functions[kWidth];
    };
    const Pair pairs[] = {{"pT", 0, 1, {nullptr, nullptr, "AQPPTH", "AQPPTS", "AQPPTV", nullptr}},
                          {"ph", 0, 2, {nullptr, "AQPPHT", nullptr, "AQPPHS", "AQPPHV", nullptr}},
                          {"ps", 0, 3, {nullptr, "AQPPST", "AQPPSH", nullptr, "AQPPSV", nullptr}},
                          {"pv", 0, 4, {nullptr, "AQPPVT", "AQPPVH", "AQPPVS", nullptr, nullptr}},
                          {"px", 0, 5, {nullptr, nullptr, "AQPPQH", "AQPPQS", "AQPPQV", nullptr}},
                          {"Tx", 1, 5, {nullptr, nullptr, "AQPTQH", "AQPTQS", "AQPTQV", nullptr}}};
    for (const int options : {RUDID_TABLE, RUDID_REFINED})
        for (const Pair &pair : pairs) {
            std::vector<double> a, b;
            for (std::size_t i = 0; i < n; ++i) {
                a.push_back(states.states[kWidth * i + pair.first]);
                b.push_back(states.states[kWidth * i + pair.second]);
            }
            a.insert(a.end(), {0.001, 2000, 50, -1, 1e300}), b.insert(b.end(), {300, 300, -50, 0.5, 2});
            const std::size_t rows = a.size();
            std::vector<double> solved(kWidth * rows);
            std::vector<int> codes(kWidth * rows), phase(rows), flags(kWidth * rows);
            ASSERT_GE(Get<decltype(&::RudidSolveStates)>("RudidSolveStates")(nullptr, pair.given, options, rows,
                                                                            a.data(), b.data(), solved.data(),
                                                                            codes.data(), phase.data(), flags.data()),
                      0);
            for (int k = 0; k < kWidth; ++k) {
                if (!pair.functions[k]) continue;
                std::vector<double> value(rows);
                std::vector<int> failure(rows), flag(rows);
                evaluate(nullptr, pair.functions[k], options, rows, a.data(), b.data(), value.data(), failure.data(),
                         flag.data());
                for (std::size_t i = 0; i < rows; ++i) {
                    const std::size_t at = kWidth * i + std::size_t(k);
                    SCOPED_TRACE(std::string(pair.functions[k]) + " row " + std::to_string(i));
                    const int range = failure[i] == 0 ? Get<decltype(&::RudidRangeCode)>("RudidRangeCode")(value[i]) : 0;
                    if (failure[i] != 0 || range != 0) {
                        EXPECT_EQ(codes[at], failure[i] != 0 ? failure[i] : range);
                        continue;
                    }
                    EXPECT_EQ(codes[at], 0);
                    EXPECT_EQ(std::memcmp(&solved[at], &value[i], sizeof(double)), 0) << solved[at] << " " << value[i];
                    EXPECT_EQ(flags[at], flag[i]);
                }
            }
        }
}

// The phase of a state by pressure and temperature is the side of the
// saturation temperature the saturation function gives at that pressure
// (above the critical pressure: liquid below the critical temperature,
// supercritical above), whatever the lookup of the other properties
// decided: rows just inside and outside the band the lookup refuses around
// the line, above the critical pressure and outside the tables, table and
// refined, in the internal units and in imperial ones.
TEST_F(StateSolver, PhaseByPressureAndTemperatureIsTheSideOfTheSaturationTemperature) {
    const auto evaluate = Get<decltype(&::RudidContextEvaluate)>("RudidContextEvaluate");
    const auto convert = Get<decltype(&::RudidContextConvert)>("RudidContextConvert");
    RudidContext *imperial = Open("pressure=psi, temperature=F");
    ASSERT_NE(imperial, nullptr);
    std::mt19937_64 random(11);
    for (RudidContext *context : {static_cast<RudidContext *>(nullptr), imperial})
        for (const int options : {RUDID_TABLE, RUDID_REFINED}) {
            std::vector<double> p, t;  // in bar and C first
            for (int i = 0; i < 200; ++i) {
                const double bar = std::exp(std::uniform_real_distribution<double>(std::log(0.01), std::log(1000))(random));
                p.push_back(bar), t.push_back(std::uniform_real_distribution<double>(0, 800)(random));
            }
            for (const double bar : {0.02, 1.0, 50.0, 220.0}) {
                double ts = 0;
                int code = 0;
                evaluate(nullptr, "AQPPT", options, 1, &bar, &bar, &ts, &code, nullptr);
                for (const double off : {-0.5, -0.0011, -0.0009, 0.0, 0.0009, 0.0011, 0.5})
                    p.push_back(bar), t.push_back(ts + off);
            }
            for (const double c : {374.0, 374.15, 374.2, 500.0}) p.push_back(250), t.push_back(c);
            p.insert(p.end(), {0.005, 1200, 10, 300}), t.insert(t.end(), {20, 20, -5, 900});
            for (std::size_t i = 0; i < p.size(); ++i)
                p[i] = convert(context, RUDID_PRESSURE, p[i], 1), t[i] = convert(context, RUDID_TEMPERATURE, t[i], 1);
            const std::size_t n = p.size();
            std::vector<double> ts(n), tc(n);
            std::vector<int> tsCode(n), tcCode(n);
            evaluate(context, "AQPPT", options, n, p.data(), p.data(), ts.data(), tsCode.data(), nullptr);
            evaluate(context, "AQPTP", options, n, t.data(), t.data(), tc.data(), tcCode.data(), nullptr);
            const Solved solved = Solve(context, "pT", p, t, options);
            const auto rangeCode = Get<decltype(&::RudidRangeCode)>("RudidRangeCode");
            for (std::size_t i = 0; i < n; ++i) {
                int want = RUDID_PHASE_UNKNOWN;
                if (rangeCode(ts[i]) == RUDID_PRESSURE_ABOVE_CRITICAL) {
                    const int above = rangeCode(tc[i]);
                    want = above == 0                                  ? RUDID_PHASE_COMPRESSED_LIQUID
                           : above == RUDID_TEMPERATURE_ABOVE_CRITICAL ? RUDID_PHASE_SUPERCRITICAL_FLUID
                                                                       : RUDID_PHASE_UNKNOWN;
                } else if (rangeCode(ts[i]) == 0) {
                    want = t[i] == ts[i]  ? RUDID_PHASE_SATURATION_LINE
                           : t[i] < ts[i] ? RUDID_PHASE_COMPRESSED_LIQUID
                                          : RUDID_PHASE_SUPERHEATED_VAPOUR;
                }
                EXPECT_EQ(solved.phase[i], want) << "p " << p[i] << " T " << t[i] << " options " << options;
            }
        }
    Close(imperial);
}

TEST_F(StateSolver, TwoContextsOfDifferentUnitsFindTheSameStates) {
    RudidContext *internal = Open("pressure=bar, temperature=C, enthalpy=kJ/kg, entropy=kJ/kg,K, volume=m3/kg");
    RudidContext *imperial = Open("pressure=psi, temperature=F, enthalpy=Btu/lbm, entropy=Btu/lbm,F, volume=ft3/lbm");
    ASSERT_TRUE(internal && imperial);
    const Solved states = RandomStates(20, 7);
    std::vector<double> h, s, hImperial, sImperial;
    const auto convert = Get<decltype(&::RudidContextConvert)>("RudidContextConvert");
    for (std::size_t i = 0; i < states.phase.size(); ++i) {
        h.push_back(states.states[kWidth * i + 2]), s.push_back(states.states[kWidth * i + 3]);
        hImperial.push_back(convert(imperial, RUDID_SPECIFIC_ENTHALPY, h.back(), 1));
        sImperial.push_back(convert(imperial, RUDID_SPECIFIC_ENTROPY, s.back(), 1));
    }
    const Solved one = Solve(internal, "hs", h, s), other = Solve(imperial, "hs", hImperial, sImperial);
    std::size_t same = 0;
    for (std::size_t i = 0; i < h.size(); ++i) {
        if (one.codes[kWidth * i] != 0 || other.codes[kWidth * i] != 0) continue;
        EXPECT_TRUE(GivesBack(imperial, 2, hImperial[i], other.states[kWidth * i + 2]));
        EXPECT_TRUE(GivesBack(imperial, 3, sImperial[i], other.states[kWidth * i + 3]));
        const double p = one.states[kWidth * i], pImperial = Internal(imperial, 0, other.states[kWidth * i]);
        if (std::fabs(pImperial - p) <= 1e-3 * p && one.phase[i] == other.phase[i]) ++same;
    }
    EXPECT_GE(same, h.size() * 9 / 10);
    Close(internal), Close(imperial);
}

TEST_F(StateSolver, WrongCallsAreRefusedAndPairsWithoutStateSaySo) {
    std::vector<double> one = {10}, two = {300};
    EXPECT_EQ(Solve(nullptr, "pp", one, two).status, RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(Solve(nullptr, "pq", one, two).status, RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(Solve(nullptr, "pTh", one, two).status, RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(Solve(nullptr, "pT", one, two, RUDID_REFINED | RUDID_TABLE).status, RUDID_BAD_ARGUMENTS);
    const auto solve = Get<decltype(&::RudidSolveStates)>("RudidSolveStates");
    int codes[kWidth];
    EXPECT_EQ(solve(nullptr, "pT", 0, 1, one.data(), two.data(), nullptr, codes, nullptr, nullptr),
              RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(solve(nullptr, "pT", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    const Solved none = Solve(nullptr, "hs", {99999, 3000}, {7, 7});
    EXPECT_EQ(none.status, 1);
    for (int k = 0; k < kWidth; ++k) EXPECT_EQ(none.codes[k], RUDID_NO_STATE);
    EXPECT_TRUE(std::isnan(none.states[0]));
    const auto name = Get<decltype(&::RudidPhaseName)>("RudidPhaseName");
    EXPECT_STREQ(name(RUDID_PHASE_WET_STEAM), "wet steam");
    EXPECT_STREQ(name(RUDID_PHASE_UNKNOWN), "");
    EXPECT_STREQ(name(99), "");
}

}  // namespace
}  // namespace rudid::testing
