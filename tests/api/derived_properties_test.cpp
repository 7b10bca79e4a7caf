// The properties beyond the tables' (RudidSolveProperties and
// RudidContextProperty): what a state of each phase has and the codes of
// what it has not, the units of a context, the names, and wrong calls. Their
// accuracy is checked against python3-iapws by bench/derived_accuracy.py.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

constexpr int kWidth = RUDID_DERIVED_PROPERTIES;

struct Derived {
    int status;
    std::vector<double> values;
    std::vector<int> codes, flags;
};

class DerivedProperties : public ::testing::Test {
public:
    static void SetUpTestSuite() { lib_ = new LibraryInstance(ShippedSetup()); }
    static void TearDownTestSuite() { delete lib_; }

    template <class F>
    static F Get(const char *name) { return lib_->Symbol<F>(name); }

    static Derived Solve(RudidContext *context, const char *given, const std::vector<double> &first,
                         const std::vector<double> &second, int options = RUDID_REFINED) {
        Derived d{0, std::vector<double>(kWidth * first.size()), std::vector<int>(kWidth * first.size()),
                  std::vector<int>(kWidth * first.size())};
        d.status = Get<decltype(&::RudidSolveProperties)>("RudidSolveProperties")(
            context, given, options, first.size(), first.data(), second.data(), d.values.data(), d.codes.data(),
            d.flags.data());
        return d;
    }
    static RudidContext *Open(const char *units) {
        return Get<decltype(&::RudidOpen)>("RudidOpen")(nullptr, units, RUDID_KEEP_TABLES | RUDID_REFINED);
    }
    static void Close(RudidContext *context) { Get<decltype(&::RudidClose)>("RudidClose")(context); }

    static LibraryInstance *lib_;
};
LibraryInstance *DerivedProperties::lib_ = nullptr;

TEST_F(DerivedProperties, WaterAt25CHasTheEngineersFiguresInSIUnits) {
    RudidContext *si = Open("density=kg/m3, thermal conductivity=W/m,C");
    ASSERT_NE(si, nullptr);
    const Derived d = Solve(si, "pT", {1}, {25});
    EXPECT_EQ(d.status, 0);
    // python3-iapws at 0.1 MPa and 298.15 K.
    const double want[kWidth] = {997.047, 104.828, 4.18190, 4.13819, 1498.17, 890.023e-6, 0.606516, 6.13667};
    for (int k = 0; k < RUDID_PROPERTY_SURFACE_TENSION; ++k) {
        EXPECT_EQ(d.codes[k], 0) << k;
        EXPECT_NEAR(d.values[k], want[k], 2e-5 * want[k]) << k;
    }
    EXPECT_EQ(d.codes[RUDID_PROPERTY_SURFACE_TENSION], RUDID_NOT_SATURATED);
    Close(si);
}

TEST_F(DerivedProperties, FollowTheContextsUnitsOfEachQuantity) {
    RudidContext *si = Open("density=kg/m3, thermal conductivity=W/m,C");
    RudidContext *imperial = Open("pressure=psi, temperature=F, density=lbm/ft3, enthalpy=Btu/lbm, "
                                  "entropy=Btu/lbm,F, velocity=ft/s, thermal conductivity=Btu/ft,s,F");
    ASSERT_NE(si, nullptr);
    ASSERT_NE(imperial, nullptr);
    const Derived a = Solve(si, "pT", {10}, {300});
    const Derived b = Solve(imperial, "pT", {145.037738}, {572});
    const double factor[kWidth] = {0.0624279606, 0.429922614, 0.238845897, 0.238845897, 3.28083990,
                                   1, 0.000160496, 1, 1};
    for (int k = 0; k < kWidth - 1; ++k) EXPECT_NEAR(b.values[k], a.values[k] * factor[k], 1e-5 * b.values[k]) << k;
    Close(si);
    Close(imperial);
}

TEST_F(DerivedProperties, WetSteamHasDensityAndSurfaceTensionButNoHeatCapacity) {
    const Derived d = Solve(nullptr, "px", {10, 10, 10}, {0, 0.5, 1});
    EXPECT_EQ(d.status, 0);
    for (int k = 0; k < kWidth; ++k) {
        EXPECT_EQ(d.codes[k], 0) << "saturated liquid " << k;
        EXPECT_EQ(d.codes[2 * kWidth + k], 0) << "saturated vapour " << k;
    }
    for (int k = RUDID_PROPERTY_CP; k <= RUDID_PROPERTY_PRANDTL; ++k) {
        EXPECT_EQ(d.codes[kWidth + k], RUDID_TWO_PHASE) << k;
        EXPECT_TRUE(std::isnan(d.values[kWidth + k]));
    }
    // The mixture's density lies between its phases'; the surface tension
    // is the line's at its temperature, the same for all three.
    EXPECT_LT(d.values[kWidth], d.values[0]);
    EXPECT_GT(d.values[kWidth], d.values[2 * kWidth]);
    EXPECT_EQ(d.values[kWidth + RUDID_PROPERTY_SURFACE_TENSION], d.values[RUDID_PROPERTY_SURFACE_TENSION]);
    EXPECT_NEAR(d.values[RUDID_PROPERTY_SURFACE_TENSION], 0.0422157, 1e-6);
    // The liquid is the denser, slower-to-flow phase.
    EXPECT_GT(d.values[RUDID_PROPERTY_VISCOSITY], 5 * d.values[2 * kWidth + RUDID_PROPERTY_VISCOSITY]);
}

TEST_F(DerivedProperties, StatesOutsideTheTablesCarryTheStatesCode) {
    const Derived d = Solve(nullptr, "pT", {2000, 100}, {25, 311.0});
    // A pressure outside the tables is an answer, as RudidSolveStates has it.
    EXPECT_EQ(d.status, 0);
    for (int k = 0; k < kWidth; ++k) EXPECT_EQ(d.codes[k], RUDID_PRESSURE_OUT_OF_RANGE) << k;
    // p and T on the saturation line: no v or h, and no single phase.
    EXPECT_EQ(d.codes[kWidth + RUDID_PROPERTY_DENSITY], RUDID_ON_SATURATION_LINE);
    EXPECT_EQ(d.codes[kWidth + RUDID_PROPERTY_CP], RUDID_TWO_PHASE);
}

TEST_F(DerivedProperties, FlagTheCriticalWindow) {
    const Derived d = Solve(nullptr, "pT", {250, 10}, {380, 300});
    EXPECT_TRUE(d.flags[RUDID_PROPERTY_CP] & RUDID_FLAG_CRITICAL_REGION);
    EXPECT_EQ(d.flags[kWidth + RUDID_PROPERTY_CP], 0);
}

TEST_F(DerivedProperties, ByNameGiveTheColumnOfTheWholeCall) {
    const auto byName = Get<decltype(&::RudidContextProperty)>("RudidContextProperty");
    const std::vector<double> p = {1, 10, 160}, t = {25, 179.88, 540};
    const Derived all = Solve(nullptr, "pT", p, t, 0);
    for (const char *name : {"cp", "Speed of Sound", "speed_of_sound", "w", "LAMBDA", "Prandtl"}) {
        std::vector<double> result(3);
        std::vector<int> failure(3), flags(3);
        const int k = Get<decltype(&::RudidPropertyIndex)>("RudidPropertyIndex")(name);
        ASSERT_GE(k, 0) << name;
        EXPECT_EQ(byName(nullptr, name, "pT", 0, 3, p.data(), t.data(), result.data(), failure.data(), flags.data()), 0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(result[std::size_t(i)], all.values[std::size_t(kWidth * i + k)]) << name;
    }
    double r;
    int f;
    EXPECT_EQ(byName(nullptr, "enthalpy", "pT", 0, 1, p.data(), t.data(), &r, &f, nullptr), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(byName(nullptr, "cp", "pq", 0, 1, p.data(), t.data(), &r, &f, nullptr), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(byName(nullptr, "cp", "pT", RUDID_TABLE | RUDID_REFINED, 1, p.data(), t.data(), &r, &f, nullptr),
              RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(byName(nullptr, "cp", "pT", 0, 1, nullptr, t.data(), &r, &f, nullptr), RUDID_BAD_ARGUMENTS);
}

// A property by name solves only what it needs of each state, in blocks of
// rows; it must still answer, code and flag as the whole call does, for
// every pair, both answers and units other than the internal ones, and a
// pair that no state has must never give a density (1/v of a given v).
TEST_F(DerivedProperties, ByNameAnswerAsTheWholeCallForEveryPairAndNeverWithoutAState) {
    const auto byName = Get<decltype(&::RudidContextProperty)>("RudidContextProperty");
    const auto states = Get<decltype(&::RudidSolveStates)>("RudidSolveStates");
    RudidContext *other = Open("pressure=psi, temperature=F, enthalpy=Btu/lbm, density=lbm/ft3");
    ASSERT_NE(other, nullptr);
    std::vector<double> p, t;
    for (int i = 0; i < 40; ++i) p.push_back(0.02 * std::pow(1.3, i)), t.push_back(10 + 19.7 * i);
    for (RudidContext *context : {static_cast<RudidContext *>(nullptr), other}) {
        std::vector<double> solved(RUDID_STATE_PROPERTIES * p.size());
        std::vector<int> codes(solved.size());
        states(context, "pT", 0, p.size(), p.data(), t.data(), solved.data(), codes.data(), nullptr, nullptr);
        for (const char *given : {"pT", "ph", "pv", "px", "Tx", "hs", "Tv"})
            for (const int options : {RUDID_TABLE, RUDID_REFINED}) {
                const int a = int(std::strchr("pThsvx", given[0]) - "pThsvx");
                const int b = int(std::strchr("pThsvx", given[1]) - "pThsvx");
                std::vector<double> first, second;
                for (std::size_t i = 0; i < p.size(); ++i) {
                    const double *row = &solved[RUDID_STATE_PROPERTIES * i];
                    first.push_back(row[a]), second.push_back(b == 5 ? (i % 5) / 4.0 : row[b]);
                }
                first.push_back(1), second.push_back(1e6);  // no state of the tables has it
                const std::size_t n = first.size();
                const Derived all = Solve(context, given, first, second, options);
                for (int k = 0; k < kWidth; ++k) {
                    std::vector<double> result(n);
                    std::vector<int> failure(n), flags(n);
                    byName(context, Get<decltype(&::RudidPropertySymbol)>("RudidPropertySymbol")(k), given, options,
                           n, first.data(), second.data(), result.data(), failure.data(), flags.data());
                    for (std::size_t i = 0; i < n; ++i) {
                        const std::size_t at = std::size_t(kWidth) * i + std::size_t(k);
                        SCOPED_TRACE(std::string(given) + " property " + std::to_string(k) + " row " + std::to_string(i));
                        EXPECT_EQ(failure[i], all.codes[at]);
                        EXPECT_EQ(flags[i], all.flags[at]);
                        if (failure[i] == 0) {
                            EXPECT_EQ(std::memcmp(&result[i], &all.values[at], sizeof(double)), 0);
                        }
                    }
                }
                EXPECT_NE(all.codes[std::size_t(kWidth) * (n - 1) + RUDID_PROPERTY_DENSITY], 0) << given;
            }
    }
    Close(other);
}

// Hosts that show the state and its properties solve once and derive from
// the solved rows: RudidDeriveStates must give what RudidSolveProperties
// gives for the pair, bit for bit, pairs solved through the pressure and
// rows without a state included.
TEST_F(DerivedProperties, FromSolvedStatesAreThoseOfThePair) {
    const auto states = Get<decltype(&::RudidSolveStates)>("RudidSolveStates");
    const auto derive = Get<decltype(&::RudidDeriveStates)>("RudidDeriveStates");
    RudidContext *other = Open("pressure=MPa, temperature=K, density=lbm/ft3");
    ASSERT_NE(other, nullptr);
    const std::vector<double> h = {3000, 2500, 150, 1e6, 2800}, s = {7, 6.5, 0.5, 7, 1e6};
    for (RudidContext *context : {static_cast<RudidContext *>(nullptr), other})
        for (const int options : {RUDID_TABLE, RUDID_REFINED}) {
            const std::size_t n = h.size();
            std::vector<double> solved(RUDID_STATE_PROPERTIES * n);
            std::vector<int> codes(solved.size()), phase(n), flags(solved.size());
            ASSERT_GE(states(context, "hs", options, n, h.data(), s.data(), solved.data(), codes.data(), phase.data(),
                             flags.data()),
                      0);
            const Derived want = Solve(context, "hs", h, s, options);
            Derived got{0, std::vector<double>(kWidth * n), std::vector<int>(kWidth * n), std::vector<int>(kWidth * n)};
            got.status = derive(context, n, solved.data(), codes.data(), phase.data(), flags.data(), got.values.data(),
                                got.codes.data(), got.flags.data());
            EXPECT_EQ(got.status, want.status);
            EXPECT_EQ(got.codes, want.codes);
            EXPECT_EQ(got.flags, want.flags);
            EXPECT_EQ(std::memcmp(got.values.data(), want.values.data(), got.values.size() * sizeof(double)), 0);
        }
    Close(other);
    double value;
    int code;
    EXPECT_EQ(derive(nullptr, 1, nullptr, &code, &code, nullptr, &value, &code, nullptr), RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(derive(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(DerivedProperties, DescribeThemselves) {
    const auto name = Get<decltype(&::RudidPropertyName)>("RudidPropertyName");
    const auto symbol = Get<decltype(&::RudidPropertySymbol)>("RudidPropertySymbol");
    const auto quantity = Get<decltype(&::RudidPropertyQuantity)>("RudidPropertyQuantity");
    const auto index = Get<decltype(&::RudidPropertyIndex)>("RudidPropertyIndex");
    for (int k = 0; k < kWidth; ++k) {
        EXPECT_EQ(index(name(k)), k);
        EXPECT_EQ(index(symbol(k)), k);
    }
    EXPECT_EQ(name(kWidth), nullptr);
    EXPECT_EQ(name(-1), nullptr);
    EXPECT_EQ(index(nullptr), -1);
    EXPECT_EQ(quantity(RUDID_PROPERTY_CP), RUDID_SPECIFIC_ENTROPY);
    EXPECT_EQ(quantity(RUDID_PROPERTY_INTERNAL_ENERGY), RUDID_SPECIFIC_ENTHALPY);
    EXPECT_EQ(quantity(RUDID_PROPERTY_SURFACE_TENSION), RUDID_NO_QUANTITY);
}

TEST_F(DerivedProperties, StatesGivenByPressureAndEnergyOrByDensityGiveBackTheirPair) {
    RudidContext *si = Open("density=kg/m3, thermal conductivity=W/m,C");
    const auto solve = Get<decltype(&::RudidSolveStates)>("RudidSolveStates");
    // Liquid, wet, vapour and supercritical states by p and T
    // (or x), then found again from their p and u, and from T and density.
    const std::vector<double> p = {1, 10, 10, 160, 500, 0.05, 150}, second = {25, 0.3, 300, 540, 500, 700, 0.9};
    const char *given[] = {"pT", "px", "pT", "pT", "pT", "pT", "px"};
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Derived known = Solve(si, given[i], {p[i]}, {second[i]});
        std::vector<double> state(RUDID_STATE_PROPERTIES);
        std::vector<int> codes(RUDID_STATE_PROPERTIES);
        ASSERT_EQ(solve(si, given[i], RUDID_REFINED, 1, &p[i], &second[i], state.data(), codes.data(), nullptr,
                        nullptr), 0);
        const double u = known.values[RUDID_PROPERTY_INTERNAL_ENERGY], rho = known.values[RUDID_PROPERTY_DENSITY];
        const double t = state[RUDID_STATE_T];
        const Derived byEnergy = Solve(si, "pu", {p[i]}, {u});
        const Derived byDensity = Solve(si, "dT", {rho}, {t});
        EXPECT_NEAR(byEnergy.values[RUDID_PROPERTY_INTERNAL_ENERGY], u, 1e-4 * std::max(std::fabs(u), 1.0)) << i;
        EXPECT_NEAR(byDensity.values[RUDID_PROPERTY_DENSITY], rho, 1e-4 * rho) << i;
        std::vector<double> found(RUDID_STATE_PROPERTIES);
        ASSERT_EQ(solve(si, "pu", RUDID_REFINED, 1, &p[i], &u, found.data(), codes.data(), nullptr, nullptr), 0);
        EXPECT_NEAR(found[RUDID_STATE_T] + 273.15, t + 273.15, 1e-6 * (t + 273.15)) << i;
    }
    // In other units the search runs in the internal ones and answers in the
    // context's: water at 1 bar (14.5038 psi) and 25 C has u = 45.07 Btu/lbm.
    RudidContext *imperial = Open("pressure=psi, enthalpy=Btu/lbm, temperature=F");
    const std::vector<double> psi = {14.5037738}, btu = {104.828345 * 0.429922614};
    std::vector<double> found(RUDID_STATE_PROPERTIES);
    std::vector<int> codes(RUDID_STATE_PROPERTIES);
    ASSERT_EQ(solve(imperial, "pu", RUDID_REFINED, 1, psi.data(), btu.data(), found.data(), codes.data(), nullptr,
                    nullptr), 0);
    EXPECT_NEAR(found[RUDID_STATE_T], 77, 1e-3);
    Close(imperial);
    // Outside every state at that pressure, and pairs that fix nothing.
    const Derived none = Solve(si, "pu", {10}, {-500});
    EXPECT_EQ(none.codes[RUDID_PROPERTY_DENSITY], RUDID_NO_STATE);
    for (const char *wrong : {"uT", "uh", "dv", "ud", "pU2"}) EXPECT_EQ(Solve(si, wrong, {1}, {1}).status, RUDID_UNKNOWN_FUNCTION) << wrong;
    Close(si);
}

TEST_F(DerivedProperties, ReachTheTransportCheckValuesByTemperatureAndDensity) {
    RudidContext *si = Open("density=kg/m3, thermal conductivity=W/m,C, temperature=K");
    // IAPWS 2008 and 2011: 889.735100 uPa s and 607.712868 mW/(m K) at
    // 298.15 K and 998 kg/m3; IAPWS 2014: 71.686 mN/m at 300 K. The state is
    // the tables' at that density, so the figures land within a few 1e-6.
    const Derived water = Solve(si, "Td", {298.15}, {998});
    EXPECT_NEAR(water.values[RUDID_PROPERTY_VISCOSITY], 889.735100e-6, 1e-5 * 889.7351e-6);
    EXPECT_NEAR(water.values[RUDID_PROPERTY_THERMAL_CONDUCTIVITY], 0.607712868, 1e-5 * 0.6077);
    const Derived line = Solve(si, "Tx", {300}, {0});
    EXPECT_NEAR(line.values[RUDID_PROPERTY_SURFACE_TENSION], 71.686e-3, 1e-6);
    Close(si);
}

TEST_F(DerivedProperties, EightThreadsInOneContextGiveTheBitsOfOneThread) {
    RudidContext *kept = Open("density=kg/m3");
    std::vector<double> p, t;
    for (int i = 0; i < 400; ++i) p.push_back(0.01 * std::pow(1e5, i / 400.0)), t.push_back(2.0 * i);
    const Derived alone = Solve(kept, "pT", p, t);
    std::vector<Derived> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < seen.size(); ++k)
        threads.emplace_back([&, k] { seen[k] = Solve(kept, "pT", p, t); });
    for (std::thread &thread : threads) thread.join();
    for (const Derived &d : seen) {
        EXPECT_EQ(d.codes, alone.codes);
        EXPECT_EQ(std::memcmp(d.values.data(), alone.values.data(), alone.values.size() * sizeof(double)), 0);
    }
    Close(kept);
}

}  // namespace
}  // namespace rudid::testing
