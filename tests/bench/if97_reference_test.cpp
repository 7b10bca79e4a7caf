// The formulation the benchmark times beside the library's rows must be
// IAPWS-IF97 itself: its equations reproduce the verification values
// published with the formulation (enthalpies of regions 1 and 2, backward
// temperatures of regions 1, 2a, 2b and 2c, the saturation line and the
// region 2-3 boundary), agree with the IF97 module of python3-iapws where
// the published values do not reach (the ends of the ranges, the enthalpy
// of a wet state), and tell the regions apart, from (p, T) and from (p, h)
// alone. The sums take their powers from tables built by successive
// multiplication; over the whole range they agree with the same sums taken
// term by term with std::pow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>

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

    // The rest of the published values of these equations.
    EXPECT_NEAR(if97::Region2Enthalpy(0.0035, 700), 0.333568375e4, 1e-5);
    EXPECT_NEAR(if97::Region1Temperature(80, 500), 0.378108626e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(3, 3000), 0.575373370e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(3, 4000), 0.101077577e4, 1e-5);
    EXPECT_NEAR(if97::Region2Temperature(5, 4000), 0.101531583e4, 1e-5);
    EXPECT_NEAR(if97::Region2Temperature(25, 3500), 0.875279054e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(60, 2700), 0.791137067e3, 1e-6);
    EXPECT_NEAR(if97::Region2Temperature(60, 3200), 0.882756860e3, 1e-6);
    EXPECT_NEAR(if97::SaturationPressure(500), 0.263889776e1, 1e-8);
    EXPECT_NEAR(if97::SaturationPressure(600), 0.123443146e2, 1e-7);
    EXPECT_NEAR(if97::SaturationTemperature(1), 0.453035632e3, 1e-6);
}

// Values of python3-iapws (1.5.2) at the ends of the ranges, where the
// highest powers of every sum weigh most. The backward temperatures are
// those of its equations of the subregions (its T(p, h) of region 2 raises
// an answer below the saturation temperature to it; the equations do not).
TEST(If97Reference, EquationsAgreeWithAnIndependentImplementationAtTheEndsOfTheirRanges) {
    struct Forward {
        int region;
        double p, t, h, backwardT;
    };
    const Forward forward[] = {
        {1, 100, 273.15, 95.3859686597673, 273.1735712636226},
        {1, 100, 623.15, 1553.9225033716014, 623.1427142628934},
        {1, 0.001, 273.16, 0.0010074092814708936, 273.1385386646589},
        {1, 16.5, 623.0, 1669.6217022457288, 623.0077152493827},
        {1, 50, 450, 776.87780643546, 450.0091316374185},
        {2, 0.001, 273.16, 2500.3706937158413, 273.05000512892184},
        {2, 0.001, 1073.15, 4160.659171514637, 1073.144849177836},
        {2, 100, 1073.15, 3715.188943537672, 1073.148083670474},
        {2, 16.5, 623.0, 2564.464133926847, 623.0210969419376},
        {2, 10, 600, 2819.826634144002, 599.9916197535654},
        {2, 4.5, 700, 3269.6207880545967, 699.9997982930452},
        {2, 30, 700, 2631.4947448448074, 700.0081886187038},
    };
    for (const Forward &s : forward) {
        EXPECT_NEAR(if97::Enthalpy(s.region, s.p, s.t), s.h, 1e-12 * s.h + 1e-12) << s.p << " MPa, " << s.t << " K";
        EXPECT_NEAR(if97::Temperature(s.region, s.p, s.h), s.backwardT, 1e-11) << s.p << " MPa, " << s.t << " K";
    }

    struct Wet {
        double p, x, t, h;
    };
    const Wet wet[] = {
        {0.000612, 0.3, 273.1677152136946, 750.3007704177332}, {0.1, 0.5, 372.7559186113376, 1546.193063324189},
        {1, 0.9, 453.0356323914666, 2575.6758683497364},       {10, 0.25, 584.1494879985282, 1737.2687670358675},
        {16.5, 0.75, 623.0061528612805, 2340.845434090189},
    };
    for (const Wet &s : wet) {
        EXPECT_NEAR(if97::SaturationTemperature(s.p), s.t, 1e-11) << s.p << " MPa";
        EXPECT_NEAR(if97::WetEnthalpyAt(s.p, s.x), s.h, 1e-12 * s.h) << s.p << " MPa, x " << s.x;
    }
    EXPECT_NEAR(if97::SaturationPressure(273.16), 0.0006116570000106653, 1e-17);
    EXPECT_NEAR(if97::SaturationPressure(373.15), 0.10141797792131013, 1e-15);
    EXPECT_NEAR(if97::SaturationPressure(647.0), 22.038291942536045, 1e-13);

    // A wet state's enthalpy runs from the saturated liquid's to the
    // vapour's; above 16.53 MPa the saturated states lie in region 3.
    EXPECT_EQ(if97::WetEnthalpyAt(1, 0), if97::Region1Enthalpy(1, if97::SaturationTemperature(1)));
    EXPECT_NEAR(if97::WetEnthalpyAt(1, 1), if97::Region2Enthalpy(1, if97::SaturationTemperature(1)), 1e-12);
    EXPECT_TRUE(std::isnan(if97::WetEnthalpyAt(17, 0.5)));
}

// The powers below x^0 come from 1/x, those above from x.
TEST(If97Reference, PowerTablesHoldEveryPowerOfTheirRange) {
    const if97::Powers<-5, 7> powers(2);
    for (int k = -5; k <= 7; ++k) EXPECT_EQ(powers[k], std::ldexp(1.0, k)) << k;
    const if97::Powers<0, 3> positive(-3);
    EXPECT_EQ(positive[0], 1);
    EXPECT_EQ(positive[3], -27);
}

// sum n_k x^i_k y^j_k, each term with std::pow.
template <std::size_t kTerms>
double SumWithPow(const int (&i)[kTerms], const int (&j)[kTerms], const double (&n)[kTerms], double x, double y) {
    double sum = 0;
    for (std::size_t k = 0; k < kTerms; ++k) sum += n[k] * std::pow(x, i[k]) * std::pow(y, j[k]);
    return sum;
}

template <std::size_t kTerms>
double DerivativeWithPow(const int (&i)[kTerms], const int (&j)[kTerms], const double (&n)[kTerms], double x,
                         double y) {
    double sum = 0;
    for (std::size_t k = 0; k < kTerms; ++k) sum += n[k] * std::pow(x, i[k]) * j[k] * std::pow(y, j[k] - 1);
    return sum;
}

// Every term of every sum over the whole range of regions 1 and 2: an
// exponent taken from the wrong place in a table moves its term's share.
TEST(If97Reference, SumsFromPowerTablesAgreeWithTermByTermPowersOverTheWholeRange) {
    using namespace if97;
    int states = 0;
    for (double p = 0.000611; p <= 100; p *= 1.09)
        for (double t = 273.15; t <= 1073.15; t += 3.7) {
            const int region = RegionOf(p, t);
            if (region == 0) continue;
            ++states;
            double h;
            if (region == 1) {
                const double tau = 1386 / t;
                h = tau * DerivativeWithPow(kRegion1I, kRegion1J, kRegion1N, 7.1 - p / 16.53, tau - 1.222) *
                    kGasConstant * t;
            } else {
                const double tau = 540 / t;
                double ideal = 0;
                for (std::size_t k = 0; k < std::size(kRegion2IdealN); ++k)
                    ideal += kRegion2IdealN[k] * kRegion2IdealJ[k] * std::pow(tau, kRegion2IdealJ[k] - 1);
                h = tau *
                    (ideal + DerivativeWithPow(kRegion2ResidualI, kRegion2ResidualJ, kRegion2ResidualN, p, tau - 0.5)) *
                    kGasConstant * t;
            }
            ASSERT_NEAR(Enthalpy(region, p, t), h, 1e-13 * std::abs(h) + 1e-12) << p << " MPa, " << t << " K";

            double backward;
            const double eta = h / 2000;
            if (region == 1)
                backward = SumWithPow(kBackward1I, kBackward1J, kBackward1N, p, h / 2500 + 1);
            else if (p <= 4)
                backward = SumWithPow(kBackward2aI, kBackward2aJ, kBackward2aN, p, eta - 2.1);
            else if (p <= 6.546699678 ||
                     h >= 0.26526571908428e4 + std::sqrt((p - 0.45257578905948e1) / 1.2809002730136e-4))
                backward = SumWithPow(kBackward2bI, kBackward2bJ, kBackward2bN, p - 2, eta - 2.6);
            else
                backward = SumWithPow(kBackward2cI, kBackward2cJ, kBackward2cN, p + 25, eta - 1.8);
            ASSERT_NEAR(Temperature(region, p, h), backward, 1e-12 * backward) << p << " MPa, " << t << " K";
        }
    EXPECT_GT(states, 20000);
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
