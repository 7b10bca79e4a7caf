#include "formulation/basic_equations.h"

#include <cmath>
#include <iterator>

#include "formulation/elementary.h"
#include "formulation/formulation_coefficients.h"

namespace rudid::formulation {

namespace {

constexpr Extended kGasConstant = 0.461526L;  // kJ/(kg K), IAPWS-IF97's
constexpr Extended kCriticalTemperature = 647.096L;
constexpr Extended kCriticalDensity = 322;
constexpr Extended kRegion1Pressure = 16.53L, kRegion1Temperature = 1386;
constexpr Extended kRegion2Temperature = 540;
constexpr Extended kRegion3Logarithm = 1.0658070028513L;  // n1, the term n1 ln(delta)
constexpr Extended kBoundary23LowTemperature = 623.15L;

// The derivatives of a Gibbs function in reduced pressure pi and
// temperature tau that the properties need.
struct Gibbs {
    Extended pi = 0, piPi = 0, tauTau = 0, piTau = 0;
};

// The powers a sum needs: exponents from kLow to kHigh of one value.
template <int kLow, int kHigh>
struct Powers {
    Extended table[kHigh - kLow + 1];
    explicit Powers(Extended x) { PowerTable(x, kLow, kHigh, table); }
    Extended operator()(int k) const { return table[k - kLow]; }
};

Gibbs Region1Gibbs(Extended pi, Extended tau) {
    Gibbs g;
    const Powers<-2, 32> a(7.1L - pi);
    const Powers<-43, 17> b(tau - 1.222L);
    for (std::size_t k = 0; k < std::size(kRegion1N); ++k) {
        const int i = kRegion1I[k], j = kRegion1J[k];
        const Extended n = kRegion1N[k];
        g.pi -= n * i * a(i - 1) * b(j);
        g.piPi += n * i * (i - 1) * a(i - 2) * b(j);
        g.tauTau += n * a(i) * j * (j - 1) * b(j - 2);
        g.piTau -= n * i * a(i - 1) * j * b(j - 1);
    }
    return g;
}

// Ideal and residual parts together; the ideal part's pi derivatives are
// 1/pi and -1/pi^2.
Gibbs Region2Gibbs(Extended pi, Extended tau) {
    Gibbs g;
    const Powers<-7, 1> t(tau);
    for (std::size_t k = 0; k < std::size(kRegion2IdealDilute); ++k) {
        const int j = kRegion2IdealJ[k];
        g.tauTau += kRegion2IdealDilute[k] * j * (j - 1) * t(j - 2);
    }
    const Powers<-2, 24> q(pi);
    const Powers<-2, 58> b(tau - 0.5L);
    for (std::size_t k = 0; k < std::size(kRegion2ResidualN); ++k) {
        const int i = kRegion2ResidualI[k], j = kRegion2ResidualJ[k];
        const Extended n = kRegion2ResidualN[k];
        g.pi += n * i * q(i - 1) * b(j);
        g.piPi += n * i * (i - 1) * q(i - 2) * b(j);
        g.tauTau += n * q(i) * j * (j - 1) * b(j - 2);
        g.piTau += n * i * q(i - 1) * j * b(j - 1);
    }
    return g;
}

bool FromGibbs(Region region, Extended p, Extended t, CaloricProperties *out) {
    const Extended rt = kGasConstant * t;
    Extended pStar, tau, gPi, gPiPi, gTauTau, gPiTau, pi;
    if (region == Region::Liquid) {
        pStar = kRegion1Pressure, pi = p / pStar, tau = kRegion1Temperature / t;
        const Gibbs g = Region1Gibbs(pi, tau);
        gPi = g.pi, gPiPi = g.piPi, gTauTau = g.tauTau, gPiTau = g.piTau;
    } else {
        pStar = 1, pi = p, tau = kRegion2Temperature / t;
        const Gibbs g = Region2Gibbs(pi, tau);
        gPi = 1 / pi + g.pi, gPiPi = -1 / (pi * pi) + g.piPi, gTauTau = g.tauTau, gPiTau = g.piTau;
    }
    // v = R T gamma_pi / p*, with R T in kJ/kg and p* in kPa.
    const Extended v = rt * gPi / (1000 * pStar);
    const Extended dvdp = rt * gPiPi / (1000 * pStar * pStar);  // m3/(kg MPa)
    const Extended cp = -kGasConstant * tau * tau * gTauTau;
    const Extended c = gPi - tau * gPiTau;
    if (!(gPiPi < 0) || !(gTauTau < 0) || !(v > 0)) return false;
    const Extended cv = cp + kGasConstant * c * c / gPiPi;
    const Extended w2 = 1000 * rt * gPi * gPi / (c * c / (tau * tau * gTauTau) - gPiPi);
    if (!(cv > 0) || !(w2 > 0)) return false;
    out->density = 1 / v;
    out->cp = cp;
    out->cv = cv;
    out->speedOfSound = std::sqrt(w2);
    out->densityByPressure = -dvdp / (v * v);
    return true;
}

// The derivatives of region 3's Helmholtz function in reduced density delta
// and temperature tau.
struct Helmholtz {
    Extended delta = 0, deltaDelta = 0, tauTau = 0, deltaTau = 0;
};

Helmholtz Region3Helmholtz(Extended delta, Extended tau) {
    Helmholtz f;
    f.delta = kRegion3Logarithm / delta;
    f.deltaDelta = -kRegion3Logarithm / (delta * delta);
    const Powers<-2, 11> d(delta);
    const Powers<-2, 26> t(tau);
    for (std::size_t k = 0; k < std::size(kRegion3N); ++k) {
        const int i = kRegion3I[k], j = kRegion3J[k];
        const Extended n = kRegion3N[k];
        f.delta += n * i * d(i - 1) * t(j);
        f.deltaDelta += n * i * (i - 1) * d(i - 2) * t(j);
        f.tauTau += n * j * (j - 1) * d(i) * t(j - 2);
        f.deltaTau += n * i * j * d(i - 1) * t(j - 1);
    }
    return f;
}

// Pressure (MPa) and its derivative along the isotherm at a density.
void Region3Pressure(Extended rho, Extended t, Extended *p, Extended *dpdrho) {
    const Extended delta = rho / kCriticalDensity, tau = kCriticalTemperature / t;
    const Helmholtz f = Region3Helmholtz(delta, tau);
    const Extended rt = kGasConstant * t / 1000;  // MPa m3/kg
    *p = rho * rt * delta * f.delta;
    *dpdrho = rt * delta * (2 * f.delta + delta * f.deltaDelta);
}

bool Region3At(Extended p, Extended t, Extended guess, CaloricProperties *out) {
    // Newton's method from the guess; a step is at most a tenth of the
    // density, so a guess on the right side of the saturation line stays
    // there. Twenty steps settle every state of the tables' range.
    Extended rho = guess;
    bool settled = false;
    for (int step = 0; step < 20 && !settled; ++step) {
        Extended at, slope;
        Region3Pressure(rho, t, &at, &slope);
        if (!(slope > 0)) return false;
        Extended change = (p - at) / slope;
        const Extended limit = rho / 10;
        if (change > limit) change = limit;
        if (change < -limit) change = -limit;
        rho += change;
        settled = std::fabs(change) <= 1e-13L * rho;
    }
    if (!settled) return false;
    const Extended delta = rho / kCriticalDensity, tau = kCriticalTemperature / t;
    const Helmholtz f = Region3Helmholtz(delta, tau);
    const Extended pressureTerm = 2 * delta * f.delta + delta * delta * f.deltaDelta;
    const Extended mixed = delta * f.delta - delta * tau * f.deltaTau;
    const Extended cv = -kGasConstant * tau * tau * f.tauTau;
    if (!(pressureTerm > 0) || !(cv > 0)) return false;
    const Extended cp = cv + kGasConstant * mixed * mixed / pressureTerm;
    const Extended w2 = 1000 * kGasConstant * t * (pressureTerm - mixed * mixed / (tau * tau * f.tauTau));
    if (!(w2 > 0)) return false;
    out->density = rho;
    out->cp = cp;
    out->cv = cv;
    out->speedOfSound = std::sqrt(w2);
    out->densityByPressure = 1000 / (kGasConstant * t * pressureTerm);
    return true;
}

Extended Boundary23Pressure(Extended t) { return kBoundary23N[0] + kBoundary23N[1] * t + kBoundary23N[2] * t * t; }

}  // namespace

Region RegionOf(Extended pressure, Extended temperature, bool liquidSide) {
    if (temperature <= kBoundary23LowTemperature) return liquidSide ? Region::Liquid : Region::Vapour;
    return pressure <= Boundary23Pressure(temperature) ? Region::Vapour : Region::NearCritical;
}

bool CaloricAt(Region region, Extended pressure, Extended temperature, Extended densityGuess,
               CaloricProperties *out) {
    if (region == Region::NearCritical) return Region3At(pressure, temperature, densityGuess, out);
    return FromGibbs(region, pressure, temperature, out);
}

}  // namespace rudid::formulation
