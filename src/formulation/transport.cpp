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

// (d rho / d p)_T of the reference state at 1.5 Tc, reduced, from the
// industrial form's polynomials in reduced density.
Real ReducedReferenceDerivative(Real dr) {
    std::size_t piece = 0;
    while (piece < std::size(kReferenceBounds) && dr > kReferenceBounds[piece]) ++piece;
    const Real *a = kConductivityReference[piece];
    Real sum = 0;
    for (int i = 5; i >= 0; --i) sum = sum * dr + a[i];
    return 1 / sum;
}

// lambda_2 in mW/(m K); mu in uPa s.
Real CriticalEnhancement(Real tr, Real dr, const CaloricProperties &state, Real mu) {
    const Real reduced = state.densityByPressure * kCriticalPressure / kCriticalDensity;
    Real deltaChi = dr * (reduced - ReducedReferenceDerivative(dr) * kReferenceTemperatureRatio / tr);
    if (!(deltaChi > 0)) return 0;
    const Real xi = kXiZero * RealPower(deltaChi / kGammaZero, kNu / kGamma);
    const Real y = kQD * xi;
    if (y < 1.2e-7) return 0;
    const Real kappa = state.cp / state.cv;
    const Real z = 2 / (kPi * y) *
                       (((1 - 1 / kappa) * Arctangent(y) + y / kappa) -
                        (1 - Exponential(-1 / (1 / y + y * y / (3 * dr * dr)))));
    return kEnhancementScale * dr * state.cp / kEnhancementGasConstant * tr / mu * z;
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
