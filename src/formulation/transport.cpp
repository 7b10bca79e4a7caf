#include "formulation/transport.h"

#include <cmath>
#include <iterator>
#include <limits>

#include "formulation/elementary.h"
#include "formulation/formulation_coefficients.h"

namespace rudid::formulation {

namespace {

// The critical enhancement of the thermal conductivity.
constexpr Real kEnhancementGasConstant = 0.46151805;  // kJ/(kg K)
constexpr Real kEnhancementScale = 177.8514;
constexpr Real kXiZero = 0.13;     // nm
constexpr Real kGammaZero = 0.06;
constexpr Real kNu = 0.630, kGamma = 1.239;
constexpr Real kQD = 1 / 0.40;     // 1/nm
constexpr Real kReferenceTemperatureRatio = 1.5;
// The upper bounds of reduced density of the reference derivative's pieces.
constexpr Real kReferenceBounds[] = {0.310559006, 0.776397516, 1.242236025, 1.863354037};
// Surface tension.
constexpr Real kTensionB = 235.8e-3;  // N/m
constexpr Real kTensionB2 = -0.625, kTensionMu = 1.256;
constexpr Real kTriplePointTemperature = 273.16;

// sum n_ij (1/Tr - 1)^i (rho_r - 1)^j of the residual parts.
// Both correlations' exponents run from 0 to 6.
constexpr int kHighestExponent = 6;

template <std::size_t N>
Real ResidualSum(const int (&is)[N], const int (&js)[N], const Real (&n)[N], Real tr, Real dr) {
    Real a[kHighestExponent + 1], b[kHighestExponent + 1];
    PowerTable(1 / tr - 1, 0, kHighestExponent, a);
    PowerTable(dr - 1, 0, kHighestExponent, b);
    Real sum = 0;
    for (std::size_t k = 0; k < N; ++k) sum += n[k] * a[is[k]] * b[js[k]];
    return sum;
}

// sum h_k / Tr^k, by powers of 1 / Tr.
template <std::size_t N>
Real DiluteSum(const Real (&h)[N], Real tr) {
    const Real inverse = 1 / tr;
    Real sum = 0, power = 1;
    for (std::size_t k = 0; k < N; ++k, power *= inverse) sum += h[k] * power;
    return sum;
}

// The reciprocal of (d rho / d p)_T of the reference state at 1.5 Tc,
// reduced: the industrial form's polynomial in reduced density itself.
Real ReducedReferenceDerivativeInverse(Real dr) {
    std::size_t piece = 0;
    while (piece < std::size(kReferenceBounds) && dr > kReferenceBounds[piece]) ++piece;
    const Real *a = kConductivityReference[piece];
    Real sum = 0;
    for (int i = 5; i >= 0; --i) sum = sum * dr + a[i];
    return sum;
}

// lambda_2 in mW/(m K); mu in uPa s. Written with few divisions, each a
// long step of the chain: the constants' quotients are worked out once,
// and 1 / kappa is cv / cp.
Real CriticalEnhancement(Real tr, Real dr, const CaloricProperties &state, Real mu) {
    constexpr Real kReducing = kCriticalPressure / kCriticalDensity;
    constexpr Real kScale = kEnhancementScale / kEnhancementGasConstant;
    const Real reduced = state.densityByPressure * kReducing;
    const Real reference = kReferenceTemperatureRatio / (ReducedReferenceDerivativeInverse(dr) * tr);
    const Real deltaChi = dr * (reduced - reference);
    if (!(deltaChi > 0)) return 0;
    const Real xi = kXiZero * RealPower(deltaChi * (1 / kGammaZero), kNu / kGamma);
    const Real y = kQD * xi;
    if (y < 1.2e-7) return 0;
    const Real inverseKappa = state.cv / state.cp;
    const Real d2 = 3 * dr * dr;
    // 1 / (1/y + y^2 / (3 dr^2)) = 3 dr^2 y / (3 dr^2 + y^3)
    const Real damping = 1 - Exponential(-(d2 * y) / (d2 + y * y * y));
    const Real z = (2 / kPi) * (((1 - inverseKappa) * Arctangent(y) + y * inverseKappa) - damping) / y;
    return kScale * dr * state.cp * tr * z / mu;
}

// mu_0 * mu_1 in uPa s.
Real ViscosityMicro(Real tr, Real dr) {
    const Real dilute = 100 * std::sqrt(tr) / DiluteSum(kViscosityDilute, tr);
    return dilute * Exponential(dr * ResidualSum(kViscosityI, kViscosityJ, kViscosityN, tr, dr));
}

}  // namespace

Real Viscosity(Real temperature, Real density) {
    return ViscosityMicro(temperature / kCriticalTemperature, density / kCriticalDensity) * 1e-6;
}

Real ThermalConductivity(Real temperature, const CaloricProperties &state, Real viscosity) {
    const Real tr = temperature / kCriticalTemperature, dr = state.density / kCriticalDensity;
    const Real dilute = std::sqrt(tr) / DiluteSum(kConductivityDilute, tr);
    const Real residual = Exponential(dr * ResidualSum(kConductivityI, kConductivityJ, kConductivityN, tr, dr));
    const Real enhancement = CriticalEnhancement(tr, dr, state, viscosity * 1e6);
    return (dilute * residual + enhancement) * 1e-3;
}

Real SurfaceTension(Real temperature) {
    if (!(temperature >= kTriplePointTemperature) || temperature > kCriticalTemperature)
        return std::numeric_limits<Real>::quiet_NaN();
    const Real tau = 1 - temperature / kCriticalTemperature;
    if (tau == 0) return 0;
    return kTensionB * RealPower(tau, kTensionMu) * (1 + kTensionB2 * tau);
}

}  // namespace rudid::formulation
