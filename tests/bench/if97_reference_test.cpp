// The formulation the benchmark times beside the cached single calls must
// be IAPWS-IF97 itself: its equations reproduce the verification values
// published with the formulation (enthalpies of regions 1 and 2, backward
// temperatures of regions 1, 2a, 2b and 2c, the saturation line and the
// region 2-3 boundary), and tell the regions apart, from (p, T) and from
// (p, h) alone.
#include <gtest/gtest.h>

#include <cmath>

#include "if97_reference.h"

namespace {

TEST(If97Reference, EquationsReproduceThePublishedVerificationValues) {
    EXPECT_NEAR(if97::Region1Enthalpy(3, 300), 0.115331273e3, 1e-6);
    EXPECT_NEAR(if97::Region1Enthalpy(80, 300), 0.184142828e3, 1e-6);
    EXPECT_NEAR(if97::Region1Enthalpy(3, 500), 0.975542239e3, 1e-6);
    EXPECT_NEAR(if97::Region2Enthalpy(0.0035, 300), 0.254991145e4, 1e-5);
    EXPECT_NEAR(if97::Region2Enthalpy(30, 700), 0.263149474e4, 1e-5);
    EXPECT_NEAR(if97::Region1Temperature(3, 500), 0.391798509e3, 1e-6);
    EXPECT_NEAR(if97::Region1Temperature(80, 1500), 0.611041229e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(0.001, 3000), 0.534433241e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(5, 3500), 0.801299102e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(40, 2700), 0.743056411e3, 1e-6);
    EXPECT_NEAR(if97::SaturationPressure(300), 0.353658941e-2, 1e-11);
    EXPECT_EQ(if97::RegionOf(3, 300), 1);
    EXPECT_EQ(if97::RegionOf(0.0035, 300), 2);
    EXPECT_EQ(if97::RegionOf(30, 700), 2);
    EXPECT_EQ(if97::RegionOf(50, 700), 0);
    EXPECT_NEAR(if97::SaturationTemperature(0.1), 0.372755919e3, 1e-6);
    EXPECT_NEAR(if97::SaturationTemperature(10), 0.584149488e3, 1e-6);
    EXPECT_NEAR(if97::Boundary23Temperature(0.165291643e2), 0.623150000e3, 1e-6);
    EXPECT_NEAR(if97::SaturationPressure(623.15), if97::kSaturationPressureAt623, 1e-9);
}

// T(p, h) must find the backward equation of the right region from p and h
// alone, and its saturation temperature between the saturated enthalpies.
TEST(If97Reference, TemperatureFindsItsRegionFromPressureAndEnthalpy) {
    EXPECT_NEAR(if97::TemperatureAt(3, 500), 0.391798509e3, 1e-6);
    EXPECT_NEAR(if97::TemperatureAt(80, 1500), 0.611041229e3, 1e-6);
    EXPECT_NEAR(if97::TemperatureAt(0.001, 3000), 0.534433241e3, 1e-6);
    EXPECT_NEAR(if97::TemperatureAt(5, 3500), 0.801299102e3, 1e-6);
    EXPECT_NEAR(if97::TemperatureAt(40, 2700), 0.743056411e3, 1e-6);
    EXPECT_NEAR(if97::TemperatureAt(1, 2000), 0.453035632e3, 1e-6);  // wet
    EXPECT_TRUE(std::isnan(if97::TemperatureAt(25, 2000)));          // region 3
    EXPECT_TRUE(std::isnan(if97::EnthalpyAt(50, 700)));

    // Over regions 1 and 2 the backward equations agree with the forward
    // ones within 25 mK; a state given the wrong region misses by far more.
    int states = 0;
    for (double p = 0.001; p <= 100; p *= 1.37)
        for (double t = 275.3; t <= 1073; t += 7.9) {
            if (if97::RegionOf(p, t) == 0) continue;
            const double h = if97::EnthalpyAt(p, t);
            EXPECT_NEAR(if97::TemperatureAt(p, h), t, 0.025) << "p " << p << " MPa, T " << t << " K";
            ++states;
        }
    EXPECT_GT(states, 2000);
}

}  // namespace
