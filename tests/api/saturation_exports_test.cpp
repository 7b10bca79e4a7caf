// The saturation functions: the saturation temperature and pressure, and the
// saturated mixture mixed by its quality.
#include <gtest/gtest.h>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

// A mixture function, the record its test state reads exactly (100 degC is
// record 101 of vevuzu.dat, 10 bar record 120 of zarude.dat) and the field
// of its liquid value; the vapour value is the next field.
struct Mixture {
    const char *name;
    double level;
    bool byTemperature;
    int liquidField;
};
constexpr Mixture kMixtures[] = {
    {"AQPTQH", 100, true, kLiquidEnthalpy},  {"AQPTQS", 100, true, kLiquidEntropy},
    {"AQPTQV", 100, true, kLiquidVolume},    {"AQPPQH", 10, false, kLiquidEnthalpy},
    {"AQPPQS", 10, false, kLiquidEntropy},   {"AQPPQV", 10, false, kLiquidVolume},
};

double Liquid(const Mixture &m) {
    return m.byTemperature ? SaturationValue(StandardSaturationByTemperature(), 101, m.liquidField)
                           : SaturationValue(StandardSaturationByPressure(), 120, m.liquidField);
}

double Vapour(const Mixture &m) {
    return m.byTemperature ? SaturationValue(StandardSaturationByTemperature(), 101, m.liquidField + 1)
                           : SaturationValue(StandardSaturationByPressure(), 120, m.liquidField + 1);
}

TEST(SaturatedMixture, QualityZeroGivesTheLiquidValueAndOneTheVapourValue) {
    for (const Mixture &m : kMixtures) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(Lib().Answer(Lib().Call(m.name, m.level, 0)), Liquid(m));
        EXPECT_EQ(Lib().Answer(Lib().Call(m.name, m.level, 1)), Vapour(m));
    }
}

TEST(SaturatedMixture, HalfQualityGivesTheMeanRoundedToSixByteReal) {
    for (const Mixture &m : kMixtures) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(Lib().Answer(Lib().Call(m.name, m.level, 0.5)),
                  RoundedToReal48(((long double)Liquid(m) + Vapour(m)) / 2));
    }
}

TEST(SaturatedMixture, OtherQualitiesFollowTheLeverRuleOnTheRoundedQuality) {
    for (const Mixture &m : kMixtures) {
        SCOPED_TRACE(m.name);
        for (double quality : {0.3, 0.9, 1e-6}) {
            const long double x = Widened(R48(quality));
            const double expected = RoundedToReal48(x * Vapour(m) + (1 - x) * (long double)Liquid(m));
            const double answer = Lib().Answer(Lib().Call(m.name, m.level, quality));
            EXPECT_EQ(answer, expected) << "quality " << quality;
            EXPECT_NEAR(answer, quality * Vapour(m) + (1 - quality) * Liquid(m), 1e-9 * Vapour(m));
        }
    }
}

TEST(SaturatedMixture, NegativeZeroQualityIsAcceptedAsZero) {
    for (const Mixture &m : kMixtures) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(Lib().Answer(Lib().Call(m.name, m.level, -0.0)), Liquid(m));
    }
}

TEST(SaturationTemperature, GridPressuresGiveTheirRecords) {
    const Bytes &zarude = StandardSaturationByPressure();
    const std::pair<double, int> points[] = {{0.01, 0}, {1, 55}, {10, 120}, {30, 160}, {100, 230}, {220, 290}};
    for (auto [pressure, record] : points)
        EXPECT_EQ(Lib().Answer(Lib().AQPPT(pressure)), SaturationValue(zarude, record, kSaturationLevel))
            << pressure << " bar";
}

TEST(SaturationTemperature, PressureHalfWayBetweenGridPointsGivesTheRoundedMean) {
    const Bytes &zarude = StandardSaturationByPressure();
    const long double sum = (long double)SaturationValue(zarude, 230, kSaturationLevel) +
                            SaturationValue(zarude, 231, kSaturationLevel);
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(101)), RoundedToReal48(sum / 2));
}

TEST(SaturationPressure, WholeDegreesGiveTheirRecords) {
    const Bytes &vevuzu = StandardSaturationByTemperature();
    for (int t : {1, 100, 250, 374})
        EXPECT_EQ(Lib().Answer(Lib().AQPTP(t)), SaturationValue(vevuzu, t + 1, kSaturationLevel)) << t << " degC";
    EXPECT_EQ(Lib().Answer(Lib().AQPTP(373.5)),
              RoundedToReal48(((long double)SaturationValue(vevuzu, 374, kSaturationLevel) +
                               SaturationValue(vevuzu, 375, kSaturationLevel)) / 2));
}

TEST(SaturationPressure, HundredthOfADegreeReadsTheFilesZeroCelsiusRecord) {
    const Bytes &vevuzu = StandardSaturationByTemperature();
    const double answer = Lib().Answer(Lib().AQPTP(0.01));
    EXPECT_EQ(answer, Interpolated(0.01, 0, 1, SaturationValue(vevuzu, 1, kSaturationLevel),
                                   SaturationValue(vevuzu, 2, kSaturationLevel)));
    EXPECT_LT(answer, 1e-9);  // the synthetic water, not the fixed 0.006112 bar
}

TEST(SaturationPressure, JustAboveZeroCelsiusComesFromTheFixedValuesNotTheFile) {
    EXPECT_NEAR(Lib().Answer(Lib().AQPTP(0.005)), 0.006112, 1e-12);
    EXPECT_EQ(Lib().Answer(Lib().AQPTQH(0.005, 0)), 0.0);
    EXPECT_EQ(Lib().Answer(Lib().AQPTQS(0.005, 0)), 0.0);
    EXPECT_NEAR(Lib().Answer(Lib().AQPTQH(0, 0)), -0.04, 1e-12);
    // A magnitude below the smallest six-byte real is taken as 0.
    EXPECT_EQ(Lib().Answer(Lib().AQPTP(1e-40)), Lib().Answer(Lib().AQPTP(0)));
}

}  // namespace
}  // namespace rudid::testing
