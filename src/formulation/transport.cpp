#include "formulation/transport.h"

#include <cmath>
#include <iterator>
#include <limits>

#include "formulation/elementary.h"
#include "formulation/formulation_coefficients.h"

namespace rudid::formulation {

namespace {

// The reducing constants of the transport correlations.
constexpr Extended kCriticalTemperature = 647.096L;  // K
constexpr Extended kCriticalDensity = 322;           // kg/m3
constexpr Extended kCriticalPressure = 22.064L;      // MPa
// The critical enhancement of the thermal conductivity.
constexpr Extended kEnhancementGasConstant = 0.46151805L;  // kJ/(kg K)
constexpr Extended kEnhancementScale = 177.8514L;
constexpr Extended kXiZero = 0.13L;     // nm
constexpr Extended kGammaZero = 0.06L;
constexpr Extended kNu = 0.630L, kGamma = 1.239L;
constexpr Extended kQD = 1 / 0.40L;     // 1/nm
constexpr Extended kReferenceTemperatureRatio = 1.5L;
// The upper bounds of reduced density of the reference derivative's pieces.
constexpr Extended kReferenceBounds[] = {0.310559006L, 0.776397516L, 1.242236025L, 1.863354037L};
// Surface tension.
constexpr Extended kTensionB = 235.8e-3L;  // N/m
constexpr Extended kTensionB2 = -0.625L, kTensionMu = 1.256L;
constexpr Extended kTriplePointTemperature = 273.16L;

// sum n_ij (1/Tr - 1)^i (rho_r - 1)^j of the residual parts.
// Both correlations' exponents run from 0 to 6.
constexpr int kHighestExponent = 6;

template <std::size_t N>
Extended ResidualSum(const int (&is)[N], const int (&js)[N], const Extended (&n)[N], Extended tr, Extended dr) {
    Extended a[kHighestExponent + 1], b[kHighestExponent + 1];
    PowerTable(1 / tr - 1, 0, kHighestExponent, a);
    PowerTable(dr - 1, 0, kHighestExponent, b);
    Extended sum = 0;
    for (std::size_t k = 0; k < N; ++k) sum += n[k] * a[is[k]] * b[js[k]];
    return sum;
}

template <std::size_t N>
Extended DiluteSum(const Extended (&h)[N], Extended tr) {
    Extended sum = 0, power = 1;
    for (std::size_t k = 0; k < N; ++k, power *= tr) sum += h[k] / power;
    return sum;
}

// (d rho / d p)_T of the reference state at 1.5 Tc, reduced, from the
// industrial form's polynomials in reduced density.
Extended ReducedReferenceDerivative(Extended dr) {
    std::size_t piece = 0;
    while (piece < std::size(kReferenceBounds) && dr > kReferenceBounds[piece]) ++piece;
    const Extended *a = kConductivityReference[piece];
    Extended sum = 0;
    for (int i = 5; i >= 0; --i) sum = sum * dr + a[i];
    return 1 / sum;
}

// lambda_2 in mW/(m K); mu in uPa s.
Extended CriticalEnhancement(Extended tr, Extended dr, const CaloricProperties &state, Extended mu) {
    const Extended reduced = state.densityByPressure * kCriticalPressure / kCriticalDensity;
    Extended deltaChi = dr * (reduced - ReducedReferenceDerivative(dr) * kReferenceTemperatureRatio / tr);
    if (!(deltaChi > 0)) return 0;
    const Extended xi = kXiZero * RealPower(deltaChi / kGammaZero, kNu / kGamma);
    const Extended y = kQD * xi;
    if (y < 1.2e-7L) return 0;
    const Extended kappa = state.cp / state.cv;
    const Extended z = 2 / (kPi * y) *
                       (((1 - 1 / kappa) * Arctangent(y) + y / kappa) -
                        (1 - Exponential(-1 / (1 / y + y * y / (3 * dr * dr)))));
    return kEnhancementScale * dr * state.cp / kEnhancementGasConstant * tr / mu * z;
}

// mu_0 * mu_1 in uPa s.
Extended ViscosityMicro(Extended tr, Extended dr) {
    const Extended dilute = 100 * std::sqrt(tr) / DiluteSum(kViscosityDilute, tr);
    return dilute * Exponential(dr * ResidualSum(kViscosityI, kViscosityJ, kViscosityN, tr, dr));
}

}  // namespace

Extended Viscosity(Extended temperature, Extended density) {
    return ViscosityMicro(temperature / kCriticalTemperature, density / kCriticalDensity) * 1e-6L;
}

Extended ThermalConductivity(Extended temperature, const CaloricProperties &state, Extended viscosity) {
    const Extended tr = temperature / kCriticalTemperature, dr = state.density / kCriticalDensity;
    const Extended dilute = std::sqrt(tr) / DiluteSum(kConductivityDilute, tr);
    const Extended residual = Exponential(dr * ResidualSum(kConductivityI, kConductivityJ, kConductivityN, tr, dr));
    const Extended enhancement = CriticalEnhancement(tr, dr, state, viscosity * 1e6L);
    return (dilute * residual + enhancement) * 1e-3L;
}

Extended SurfaceTension(Extended temperature) {
    if (!(temperature >= kTriplePointTemperature) || temperature > kCriticalTemperature)
        return std::numeric_limits<Extended>::quiet_NaN();
    const Extended tau = 1 - temperature / kCriticalTemperature;
    if (tau == 0) return 0;
    return kTensionB * RealPower(tau, kTensionMu) * (1 + kTensionB2 * tau);
}

}  // namespace rudid::formulation
