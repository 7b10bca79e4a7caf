// Round trips on the shipped tables: a property found from pressure and
// temperature, looked up again from pressure and that property, gives the
// temperature back. The forward and inverse lookups interpolate the same
// table cells in different orders, so away from the saturation line they
// must agree closely; a wrong column, a swapped record or a broken bracket
// in either direction shows up at once.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "api/library_instance.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Shipped() {
    static const LibraryInstance instance(ShippedSetup());
    return instance;
}

struct Trip {
    const char *forward;  // (p, T) -> property
    const char *inverse;  // (p, property) -> T
    bool vapourOnly;      // liquid volume hardly depends on temperature
};

// States spread over the table, kept out of the cells the saturation line
// runs through and out of the region around the critical point.
template <typename Check>
void ForStatesAwayFromSaturation(bool vapourOnly, Check check) {
    const LibraryInstance &lib = Shipped();
    for (int i = 0; i <= 40; ++i) {
        const double p = 0.02 * std::pow(900.0 / 0.02, i / 40.0);
        const double ts = p <= 221.2 ? lib.Answer(lib.AQPPT(p)) : NAN;
        for (double t = 3.7; t < 800; t += 13.3) {
            if (p <= 221.2 && std::fabs(t - ts) < 12) continue;
            if (p > 180 && p < 300 && t > 340 && t < 420) continue;
            if (vapourOnly && (p > 221.2 ? t < 420 : t < ts)) continue;
            check(p, t);
        }
    }
}

class RoundTrip : public ::testing::TestWithParam<Trip> {};

TEST_P(RoundTrip, GivesTheTemperatureBack) {
    const Trip trip = GetParam();
    const LibraryInstance &lib = Shipped();
    int states = 0;
    double worst = 0;
    ForStatesAwayFromSaturation(trip.vapourOnly, [&](double p, double t) {
        const double property = lib.Answer(lib.Call(trip.forward, p, t));
        ASSERT_GT(property, -1000) << trip.forward << "(" << p << ", " << t << ")";
        const double back = lib.Answer(lib.Call(trip.inverse, p, property));
        EXPECT_NEAR(back, t, 1e-3) << trip.inverse << "(" << p << ", " << property << ")";
        worst = std::max(worst, std::fabs(back - t));
        ++states;
    });
    EXPECT_GT(states, 500);
    RecordProperty("worst", std::to_string(worst));
}

INSTANTIATE_TEST_SUITE_P(ShippedTables, RoundTrip,
                         ::testing::Values(Trip{"AQPPTH", "AQPPHT", false}, Trip{"AQPPTS", "AQPPST", false},
                                           Trip{"AQPPTV", "AQPPVT", true}),
                         [](const auto &info) { return std::string(info.param.inverse); });

TEST(RoundTrip, TheOtherPropertiesOfTheInverseLookupsMatchTheForwardOnes) {
    const LibraryInstance &lib = Shipped();
    ForStatesAwayFromSaturation(true, [&](double p, double t) {
        const double h = lib.Answer(lib.AQPPTH(p, t));
        const double s = lib.Answer(lib.AQPPTS(p, t));
        const double v = lib.Answer(lib.AQPPTV(p, t));
        EXPECT_NEAR(lib.Answer(lib.AQPPHS(p, h)), s, 1e-5 * std::fabs(s)) << p << " bar, " << t << " C";
        EXPECT_NEAR(lib.Answer(lib.AQPPSV(p, s)), v, 1e-5 * std::fabs(v)) << p << " bar, " << t << " C";
        EXPECT_NEAR(lib.Answer(lib.AQPPVH(p, v)), h, 1e-5 * std::fabs(h)) << p << " bar, " << t << " C";
    });
}

TEST(RoundTrip, WetSteamFromPressureAndQualityComesBackFromItsEnthalpy) {
    const LibraryInstance &lib = Shipped();
    for (double p : {0.05, 1.0, 10.0, 50.0, 150.0, 210.0})
        for (double x : {0.0, 0.1, 0.5, 0.9, 1.0}) {
            const double h = lib.Answer(lib.AQPPQH(p, x));
            EXPECT_NEAR(lib.Answer(lib.AQPPHQ(p, h)), x, 1e-9) << p << " bar";
            EXPECT_EQ(lib.Answer(lib.AQPPHT(p, h)), lib.Answer(lib.AQPPT(p))) << p << " bar";
            EXPECT_NEAR(lib.Answer(lib.AQPPHV(p, h)), lib.Answer(lib.AQPPQV(p, x)),
                        1e-9 * lib.Answer(lib.AQPPQV(p, 1)))
                << p << " bar";
        }
}

}  // namespace
}  // namespace rudid::testing
