// The formulations the derived properties come from, against the check
// values their releases publish (IAPWS-IF97 tables 5, 15 and 33; the 2008
// viscosity's table 4; the 2011 thermal conductivity's table 4 without the
// critical enhancement; the 2014 surface tension as python3-iapws quotes
// it), and the elementary functions against known constants.
#include <gtest/gtest.h>

#include <cmath>

#include "formulation/basic_equations.h"
#include "formulation/elementary.h"
#include "formulation/transport.h"

namespace rudid::formulation {
namespace {

void ExpectRelative(Real got, Real want, Real tolerance) {
    EXPECT_LE(std::fabs(got - want), tolerance * std::fabs(want)) << double(got) << " for " << double(want);
}

TEST(ElementaryFunctions, MatchKnownConstantsToTheLastBitsOfADouble) {
    ExpectRelative(Exponential(1), 2.71828182845904523536028747135266250, 4e-16);
    ExpectRelative(Exponential(-20.5), 1.25015286638674262894e-9, 4e-16);
    ExpectRelative(Logarithm(10), 2.30258509299404568401799145468436421, 4e-16);
    ExpectRelative(Logarithm(0.0001234), -9.00007944649298666471, 4e-16);
    ExpectRelative(Arctangent(1), kPi / 4, 4e-16);
    ExpectRelative(Arctangent(-3.5), -1.29249666778978526790, 4e-16);
    ExpectRelative(RealPower(0.5, 1.256), 0.418703243754213276624, 4e-16);
    EXPECT_EQ(IntegerPower(3, -2), 1 / 9.0);
    EXPECT_EQ(IntegerPower(-2, 31), -2147483648.0);
}

TEST(ElementaryFunctions, StayWithinTwoUnitsInTheLastPlaceOfTheCLibraryAcrossTheirRange) {
    for (int k = -4000; k <= 4000; ++k) {
        const Real x = k * 0.17 + 0.013;  // -680 ... 680, off the round numbers
        ExpectRelative(Exponential(x), std::exp(x), 4.5e-16);
        const Real positive = std::exp(k * 0.043);
        ExpectRelative(Logarithm(positive), std::log(positive), 4.5e-16);
        ExpectRelative(Arctangent(k * 0.0031), std::atan(k * 0.0031), 4.5e-16);
    }
}

TEST(ElementaryFunctions, KeepTheirAccuracyAtTheEndsOfTheDoublesRange) {
    // The exponential where its scaling leaves the normal doubles, and
    // where it overflows; the logarithm of subnormal and huge numbers and
    // beside the ends of its table's steps.
    for (const Real x : {-708.3, -709.1, -744.0, -745.1, 709.0, 709.78})
        ExpectRelative(Exponential(x), std::exp(x), x < -708 ? 2e-12 : 4.5e-16);
    EXPECT_EQ(Exponential(709.79), HUGE_VAL);
    for (const Real x : {4.9e-324, 3.1e-310, 2.2250738585072014e-308, 1.7e308, 0.7071067811865475,
                         0.7071067811865476, 1.4142135623730951, 1.0000000000000002, 0.9999999999999999})
        ExpectRelative(Logarithm(x), std::log(x), 4.5e-16);
    EXPECT_EQ(Logarithm(1), 0);
    for (const Real x : {1.0 / 32, 1.0 / 32 + 1e-17, 0.96875, 1.0, 1 + 1e-15, 1e300, 3e-320})
        ExpectRelative(Arctangent(x), std::atan(x), 4.5e-16);
}

TEST(ElementaryFunctions, RefuseWhatHasNoValue) {
    EXPECT_TRUE(std::isnan(Logarithm(0)));
    EXPECT_TRUE(std::isnan(Logarithm(-1)));
    EXPECT_EQ(Exponential(-20000), 0);
}

struct CaloricCheck {
    Region region;
    Real p, t;  // MPa, K
    Real cp, w, density;
};

TEST(BasicEquations, ReproduceIf97CheckValuesOfDensityHeatCapacityAndSpeedOfSound) {
    const CaloricCheck checks[] = {
        {Region::Liquid, 3, 300, 4.17301218, 1507.73921, 1 / 0.100215168e-2},
        {Region::Liquid, 80, 300, 4.01008987, 1634.69054, 1 / 0.971180894e-3},
        {Region::Liquid, 3, 500, 4.65580682, 1240.71337, 1 / 0.120241800e-2},
        {Region::Vapour, 0.0035, 300, 1.91300162, 427.920172, 1 / 0.394913866e2},
        {Region::Vapour, 0.0035, 700, 2.08141274, 644.289068, 1 / 0.923015898e2},
        {Region::Vapour, 30, 700, 10.3505092, 480.386523, 1 / 0.542946619e-2},
        {Region::NearCritical, 25.5837018, 650, 13.8935717, 502.005554, 500},
        {Region::NearCritical, 22.2930643, 650, 44.6579342, 383.444594, 200},
        {Region::NearCritical, 78.3095639, 750, 6.34165359, 760.696041, 500},
    };
    for (const CaloricCheck &c : checks) {
        CaloricProperties out{};
        // Region 3's density is searched from a guess 5 % off.
        const Real guess = c.t == 750 || c.p > 25 ? 525 : 210;
        ASSERT_TRUE(CaloricAt(c.region, c.p, c.t, guess, &out)) << double(c.p) << " MPa " << double(c.t) << " K";
        ExpectRelative(out.cp, c.cp, 1e-7);  // the published p has 9 digits
        ExpectRelative(out.speedOfSound, c.w, 1e-7);
        // The density alone, without the second derivatives, is the same.
        ExpectRelative(out.density, c.density, 1e-7);
        ExpectRelative(DensityAt(c.region, c.p, c.t, guess), out.density, 1e-14);
        EXPECT_GT(out.cp, out.cv);
        EXPECT_GT(out.densityByPressure, 0);
    }
}

TEST(BasicEquations, TellRegionsBySideOfTheLineAndTheRegion23Boundary) {
    EXPECT_EQ(RegionOf(1, 400, true), Region::Liquid);
    EXPECT_EQ(RegionOf(1, 400, false), Region::Vapour);
    EXPECT_EQ(RegionOf(40, 700, false), Region::NearCritical);  // above the boundary at 700 K (about 29 MPa)
    EXPECT_EQ(RegionOf(20, 700, false), Region::Vapour);
    EXPECT_EQ(RegionOf(25, 640, true), Region::NearCritical);
}

TEST(Transport, ReproducesTheViscosityCheckValues) {
    struct Check { Real t, rho, mu; } checks[] = {  // K, kg/m3, uPa s
        {298.15, 998, 889.735100}, {298.15, 1200, 1437.649467}, {373.15, 1000, 307.883622},
        {433.15, 1, 14.538324},    {433.15, 1000, 217.685358},  {873.15, 1, 32.619287},
        {873.15, 100, 35.802262},  {873.15, 600, 77.430195},    {1173.15, 400, 64.154608}};
    for (const Check &c : checks) ExpectRelative(Viscosity(c.t, c.rho) * 1e6, c.mu, 1e-7);
}

TEST(Transport, ReproducesTheThermalConductivityCheckValuesWithoutEnhancement) {
    struct Check { Real t, rho, lambda; } checks[] = {  // K, kg/m3, mW/(m K)
        {298.15, 0, 18.4341883}, {298.15, 998, 607.712868}, {298.15, 1200, 799.038144},
        {873.15, 0, 79.1034659}};
    for (const Check &c : checks) {
        // No derivative along the isotherm: no critical enhancement.
        const CaloricProperties state{c.rho, 4, 3, 1000, 0};
        ExpectRelative(ThermalConductivity(c.t, state, Viscosity(c.t, c.rho)) * 1e3, c.lambda, 1e-8);
    }
}

TEST(Transport, AddsTheIndustrialCriticalEnhancementNearTheCriticalPoint) {
    // 647.35 K and 222 kg/m3 (21.9840627 MPa): python3-iapws's industrial
    // form gives 366.879 mW/(m K), seven times the background's 50.
    CaloricProperties state{};
    ASSERT_TRUE(CaloricAt(Region::NearCritical, 21.984062713426727, 647.35, 230, &state));
    ExpectRelative(state.density, 222, 1e-9);
    const Real lambda = ThermalConductivity(647.35, state, Viscosity(647.35, state.density)) * 1e3;
    ExpectRelative(lambda, 366.87941103487, 1e-7);
}

TEST(Transport, ReproducesTheSurfaceTensionCheckValuesAndItsRange) {
    ExpectRelative(SurfaceTension(300) * 1e3, 71.6859625, 1e-9);
    ExpectRelative(SurfaceTension(450) * 1e3, 42.8914992, 1e-8);
    EXPECT_EQ(SurfaceTension(647.096), 0);
    EXPECT_TRUE(std::isnan(SurfaceTension(650)));
    EXPECT_TRUE(std::isnan(SurfaceTension(250)));
}

}  // namespace
}  // namespace rudid::formulation
