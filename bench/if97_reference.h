// IAPWS-IF97 evaluated directly, for the side-by-side rows of the
// benchmark: the specific enthalpy h(p, T) of regions 1 and 2 from their
// Gibbs functions, and the backward equations T(p, h) of regions 1 and 2
// (2a, 2b, 2c). Terms are summed with std::pow, as the common IF97 codes
// sum them. p in MPa, T in K, h in kJ/kg.
//
// EnthalpyAt and TemperatureAt are what a host computes when it evaluates
// the formulation itself: it knows only the state's two properties, so it
// finds the region from them first.
#pragma once

#include <cmath>
#include <cstddef>
#include <iterator>

#include "if97_coefficients.h"

namespace if97 {

constexpr double kGasConstant = 0.461526;  // kJ/(kg K)

// Saturation pressure (region 4) and the region 2-3 boundary, for telling
// the region of a state (p, T).
inline double SaturationPressure(double t) {
    const double *n = kSaturationN;  // n[1]..n[10]
    const double theta = t + n[9] / (t - n[10]);
    const double a = theta * theta + n[1] * theta + n[2];
    const double b = n[3] * theta * theta + n[4] * theta + n[5];
    const double c = n[6] * theta * theta + n[7] * theta + n[8];
    return std::pow(2 * c / (-b + std::sqrt(b * b - 4 * a * c)), 4);
}
inline double Boundary23Pressure(double t) { return kBoundary23N[0] + kBoundary23N[1] * t + kBoundary23N[2] * t * t; }

// The saturation temperature, from the saturation equation solved for T.
inline double SaturationTemperature(double p) {
    const double *n = kSaturationN;
    const double beta = std::pow(p, 0.25);
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

inline double Region1Enthalpy(double p, double t) {
    const double pi = p / 16.53, tau = 1386 / t;
    double gammaTau = 0;
    for (std::size_t k = 0; k < std::size(kRegion1N); ++k)
        gammaTau += kRegion1N[k] * std::pow(7.1 - pi, kRegion1I[k]) * kRegion1J[k] *
                    std::pow(tau - 1.222, kRegion1J[k] - 1);
    return tau * gammaTau * kGasConstant * t;
}

inline double Region2Enthalpy(double p, double t) {
    const double pi = p, tau = 540 / t;
    double ideal = 0, residual = 0;
    for (std::size_t k = 0; k < std::size(kRegion2IdealN); ++k)
        ideal += kRegion2IdealN[k] * kRegion2IdealJ[k] * std::pow(tau, kRegion2IdealJ[k] - 1);
    for (std::size_t k = 0; k < std::size(kRegion2ResidualN); ++k)
        residual += kRegion2ResidualN[k] * std::pow(pi, kRegion2ResidualI[k]) * kRegion2ResidualJ[k] *
                    std::pow(tau - 0.5, kRegion2ResidualJ[k] - 1);
    return tau * (ideal + residual) * kGasConstant * t;
}

inline double Enthalpy(int region, double p, double t) {
    return region == 1 ? Region1Enthalpy(p, t) : Region2Enthalpy(p, t);
}

template <std::size_t kTerms>
double BackwardSum(const int (&i)[kTerms], const int (&j)[kTerms], const double (&n)[kTerms], double x, double y) {
    double sum = 0;
    for (std::size_t k = 0; k < kTerms; ++k) sum += n[k] * std::pow(x, i[k]) * std::pow(y, j[k]);
    return sum;
}

inline double Region1Temperature(double p, double h) {
    return BackwardSum(kBackward1I, kBackward1J, kBackward1N, p, h / 2500 + 1);
}

inline double Region2Temperature(double p, double h) {
    const double eta = h / 2000;
    if (p <= 4) return BackwardSum(kBackward2aI, kBackward2aJ, kBackward2aN, p, eta - 2.1);
    // The boundary between 2b and 2c: h_bc(p), the inverse of the B2bc equation.
    const double hbc = 0.26526571908428e4 + std::sqrt((p - 0.45257578905948e1) / 1.2809002730136e-4);
    if (p <= 6.546699678 || h >= hbc) return BackwardSum(kBackward2bI, kBackward2bJ, kBackward2bN, p - 2, eta - 2.6);
    return BackwardSum(kBackward2cI, kBackward2cJ, kBackward2cN, p + 25, eta - 1.8);
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

}  // namespace if97
