// IAPWS-IF97 evaluated directly, for the side-by-side rows of the
// benchmark: the specific enthalpy h(p, T) of regions 1 and 2 from their
// Gibbs functions, the backward equations T(p, h) of regions 1 and 2
// (2a, 2b, 2c), the saturation line (region 4) both ways and the enthalpy
// of a wet state h(p, x). p in MPa, T in K, h in kJ/kg.
//
// Written as a careful implementation writes it: the exponents of every
// sum are integers, so each evaluation raises its two variables to every
// power a sum needs by successive multiplication, once, and sums the terms
// from those tables; the coefficients of a derivative (n J, exponent J - 1)
// are worked out at compile time. No std::pow anywhere.
//
// EnthalpyAt and TemperatureAt are what a host computes when it evaluates
// the formulation itself: it knows only the state's two properties, so it
// finds the region from them first.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "if97_coefficients.h"

namespace if97 {

constexpr double kGasConstant = 0.461526;  // kJ/(kg K)

// The terms n_k x^i_k y^j_k of a sum.
template <std::size_t kTerms>
struct Terms {
    std::array<double, kTerms> n;
    std::array<int, kTerms> i, j;
};

template <std::size_t kTerms>
constexpr Terms<kTerms> TermsOf(const int (&i)[kTerms], const int (&j)[kTerms], const double (&n)[kTerms]) {
    Terms<kTerms> terms{};
    for (std::size_t k = 0; k < kTerms; ++k) terms.n[k] = n[k], terms.i[k] = i[k], terms.j[k] = j[k];
    return terms;
}

// The derivative of a sum with respect to y: n_k j_k x^i_k y^(j_k - 1).
template <std::size_t kTerms>
constexpr Terms<kTerms> DerivativeInY(const Terms<kTerms> &sum) {
    Terms<kTerms> terms = sum;
    for (std::size_t k = 0; k < kTerms; ++k) terms.n[k] = sum.n[k] * sum.j[k], terms.j[k] = sum.j[k] - 1;
    return terms;
}

template <std::size_t kTerms>
constexpr int Lowest(const std::array<int, kTerms> &e) {
    int lowest = 0;
    for (int k : e) lowest = k < lowest ? k : lowest;
    return lowest;
}
template <std::size_t kTerms>
constexpr int Highest(const std::array<int, kTerms> &e) {
    int highest = 0;
    for (int k : e) highest = k > highest ? k : highest;
    return highest;
}

// x^k for kLow <= k <= kHigh (kLow <= 0 <= kHigh): upwards from x^0 = 1 by
// multiplying with x, downwards by multiplying with 1/x.
template <int kLow, int kHigh>
class Powers {
    static_assert(kLow <= 0 && kHigh >= 0);

  public:
    explicit Powers(double x) {
        power_[-kLow] = 1;
        for (int k = 1; k <= kHigh; ++k) power_[k - kLow] = power_[k - 1 - kLow] * x;
        if constexpr (kLow < 0) {
            const double inverse = 1 / x;
            power_[-1 - kLow] = inverse;
            for (int k = -2; k >= kLow; --k) power_[k - kLow] = power_[k + 1 - kLow] * inverse;
        }
    }
    double operator[](int k) const { return power_[k - kLow]; }

  private:
    double power_[kHigh - kLow + 1];
};

// sum over k of n_k x^i_k y^j_k.
template <const auto &kSum>
double Sum(double x, double y) {
    const Powers<Lowest(kSum.i), Highest(kSum.i)> xPower(x);
    const Powers<Lowest(kSum.j), Highest(kSum.j)> yPower(y);
    double sum = 0;
    for (std::size_t k = 0; k < kSum.n.size(); ++k) sum += kSum.n[k] * xPower[kSum.i[k]] * yPower[kSum.j[k]];
    return sum;
}

// The ideal-gas part of region 2 depends on tau alone: its exponents of x
// are all 0.
template <std::size_t kTerms>
constexpr Terms<kTerms> TermsOf(const int (&j)[kTerms], const double (&n)[kTerms]) {
    int none[kTerms] = {};
    return TermsOf(none, j, n);
}

inline constexpr auto kRegion1GammaTau = DerivativeInY(TermsOf(kRegion1I, kRegion1J, kRegion1N));
inline constexpr auto kRegion2IdealGammaTau = DerivativeInY(TermsOf(kRegion2IdealJ, kRegion2IdealN));
inline constexpr auto kRegion2ResidualGammaTau =
    DerivativeInY(TermsOf(kRegion2ResidualI, kRegion2ResidualJ, kRegion2ResidualN));
inline constexpr auto kBackward1 = TermsOf(kBackward1I, kBackward1J, kBackward1N);
inline constexpr auto kBackward2a = TermsOf(kBackward2aI, kBackward2aJ, kBackward2aN);
inline constexpr auto kBackward2b = TermsOf(kBackward2bI, kBackward2bJ, kBackward2bN);
inline constexpr auto kBackward2c = TermsOf(kBackward2cI, kBackward2cJ, kBackward2cN);

// Saturation pressure (region 4) and the region 2-3 boundary, for telling
// the region of a state (p, T).
inline double SaturationPressure(double t) {
    const double *n = kSaturationN;  // n[1]..n[10]
    const double theta = t + n[9] / (t - n[10]);
    const double a = theta * theta + n[1] * theta + n[2];
    const double b = n[3] * theta * theta + n[4] * theta + n[5];
    const double c = n[6] * theta * theta + n[7] * theta + n[8];
    const double x = 2 * c / (-b + std::sqrt(b * b - 4 * a * c));
    const double x2 = x * x;
    return x2 * x2;
}
inline double Boundary23Pressure(double t) { return kBoundary23N[0] + kBoundary23N[1] * t + kBoundary23N[2] * t * t; }

// The saturation temperature, from the saturation equation solved for T.
inline double SaturationTemperature(double p) {
    const double *n = kSaturationN;
    const double beta = std::sqrt(std::sqrt(p));
    const double e = beta * beta + n[3] * beta + n[6];
    const double f = n[1] * beta * beta + n[4] * beta + n[7];
    const double g = n[2] * beta * beta + n[5] * beta + n[8];
    const double d = 2 * g / (-f - std::sqrt(f * f - 4 * e * g));
    return (n[10] + d - std::sqrt((n[10] + d) * (n[10] + d) - 4 * (n[9] + n[10] * d))) / 2;
}

// The temperature of the region 2-3 boundary at pressure p (above
// kSaturationPressureAt623).
inline double Boundary23Temperature(double p) {
    const double *n = kBoundary23InverseN;
    return n[1] + std::sqrt((p - n[2]) / n[0]);
}

// The saturation pressure at 623.15 K, where regions 1, 2 and 3 meet the
// saturation line; SaturationPressure(623.15) rounded.
constexpr double kSaturationPressureAt623 = 16.5291642526;

// 1 or 2, or 0 for a state of region 3 (not evaluated here).
inline int RegionOf(double p, double t) {
    if (t <= 623.15) return p >= SaturationPressure(t) ? 1 : 2;
    return p <= Boundary23Pressure(t) ? 2 : 0;
}

// h = R T tau gamma_tau.
inline double Region1Enthalpy(double p, double t) {
    const double tau = 1386 / t;
    return tau * Sum<kRegion1GammaTau>(7.1 - p / 16.53, tau - 1.222) * kGasConstant * t;
}

inline double Region2Enthalpy(double p, double t) {
    const double tau = 540 / t;
    const double gammaTau = Sum<kRegion2IdealGammaTau>(1, tau) + Sum<kRegion2ResidualGammaTau>(p, tau - 0.5);
    return tau * gammaTau * kGasConstant * t;
}

inline double Enthalpy(int region, double p, double t) {
    return region == 1 ? Region1Enthalpy(p, t) : Region2Enthalpy(p, t);
}

inline double Region1Temperature(double p, double h) { return Sum<kBackward1>(p, h / 2500 + 1); }

inline double Region2Temperature(double p, double h) {
    const double eta = h / 2000;
    if (p <= 4) return Sum<kBackward2a>(p, eta - 2.1);
    // The boundary between 2b and 2c: h_bc(p), the inverse of the B2bc equation.
    const double hbc = 0.26526571908428e4 + std::sqrt((p - 0.45257578905948e1) / 1.2809002730136e-4);
    if (p <= 6.546699678 || h >= hbc) return Sum<kBackward2b>(p - 2, eta - 2.6);
    return Sum<kBackward2c>(p + 25, eta - 1.8);
}

inline double Temperature(int region, double p, double h) {
    return region == 1 ? Region1Temperature(p, h) : Region2Temperature(p, h);
}

// h(p, T) from p and T alone; NaN in region 3.
inline double EnthalpyAt(double p, double t) {
    const int region = RegionOf(p, t);
    return region == 0 ? NAN : Enthalpy(region, p, t);
}

// T(p, h) from p and h alone. Below the saturation pressure at 623.15 K the
// region follows from the saturated liquid's and vapour's enthalpies at the
// saturation temperature (regions 1 and 2 evaluated there), above it from
// region 1's enthalpy at 623.15 K and region 2's on the 2-3 boundary. Each
// enthalpy is computed only when the one before left the region open. A
// two-phase state gives the saturation temperature; region 3 gives NaN.
inline double TemperatureAt(double p, double h) {
    if (p <= kSaturationPressureAt623) {
        const double ts = SaturationTemperature(p);
        if (h <= Region1Enthalpy(p, ts)) return Region1Temperature(p, h);
        if (h >= Region2Enthalpy(p, ts)) return Region2Temperature(p, h);
        return ts;
    }
    if (h <= Region1Enthalpy(p, 623.15)) return Region1Temperature(p, h);
    if (h >= Region2Enthalpy(p, Boundary23Temperature(p))) return Region2Temperature(p, h);
    return NAN;
}

// h(p, x) of a wet state of quality x: the saturated liquid's enthalpy
// (region 1) and the vapour's (region 2) at the saturation temperature,
// mixed. NaN above the saturation pressure at 623.15 K, where the saturated
// states lie in region 3.
inline double WetEnthalpyAt(double p, double x) {
    if (!(p <= kSaturationPressureAt623)) return NAN;
    const double ts = SaturationTemperature(p);
    const double liquid = Region1Enthalpy(p, ts);
    return liquid + x * (Region2Enthalpy(p, ts) - liquid);
}

}  // namespace if97
