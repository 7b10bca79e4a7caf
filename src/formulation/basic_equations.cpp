#include "formulation/basic_equations.h"

#include <cmath>
#include <iterator>

#include "common/constants.h"
#include "formulation/formulation_coefficients.h"

namespace rudid::formulation {

namespace {

constexpr Real kGasConstant = Real(kWaterGasConstant);  // kJ/(kg K)
constexpr Real kRegion1Pressure = 16.53, kRegion1Temperature = 1386;
constexpr Real kRegion2Temperature = 540;
constexpr Real kRegion3Logarithm = 1.0658070028513;  // n1, the term n1 ln(delta)
constexpr Real kBoundary23LowTemperature = 623.15;

// Each term n x^i y^j of a sum, with the factors its four derivatives
// take: the term's derivative by x is (n i) x^(i-2) y^(j-2) times x y^2,
// and so on, so that a term costs two powers, a product and four
// multiply-adds, and the common x y^2, y^2, x^2 and x y multiply the sums
// once at the end.
struct Term {
    int i, j;
    Real byX, byXX, byYY, byXY;  // n i, n i (i - 1), n j (j - 1), n i j
};

template <std::size_t N>
struct Terms {
    Term term[N];
};

template <std::size_t N>
constexpr Terms<N> TermsOf(const int (&is)[N], const int (&js)[N], const Real (&ns)[N]) {
    Terms<N> t{};
    for (std::size_t k = 0; k < N; ++k) {
        const Real n = ns[k];
        const int i = is[k], j = js[k];
        t.term[k] = {i, j, n * i, n * i * (i - 1), n * j * (j - 1), n * i * j};
    }
    return t;
}

constexpr auto kRegion1 = TermsOf(kRegion1I, kRegion1J, kRegion1N);
constexpr auto kRegion2 = TermsOf(kRegion2ResidualI, kRegion2ResidualJ, kRegion2ResidualN);
constexpr auto kRegion3 = TermsOf(kRegion3I, kRegion3J, kRegion3N);

// The powers a sum needs: exponents from kLow to kHigh of one value, up
// and down from x^0 in four interleaved chains (one multiplication by x^4
// per power), so that they do not wait on each other.
template <int kLow, int kHigh>
struct Powers {
    Real table[kHigh - kLow + 1];
    explicit Powers(Real x) {
        Real *zero = table - kLow;
        const Real square = x * x;
        Real up[4] = {1, x, square, square * x};
        Chains(up, square * square, kHigh, [zero](int k, Real power) { zero[k] = power; });
        const Real inverse = 1 / x, inverseSquare = inverse * inverse;
        Real down[4] = {inverse, inverseSquare, inverseSquare * inverse, inverseSquare * inverseSquare};
        Chains(down, down[3], -kLow - 1, [zero](int k, Real power) { zero[-1 - k] = power; });
    }
    // chain[c] times step^m is the power 4m + c, for powers 0 ... last:
    // four products at a time, each chain in a register of its own, and
    // the last few stored one by one.
    template <typename Store>
    static void Chains(Real (&chain)[4], Real step, int last, Store store) {
        Real c0 = chain[0], c1 = chain[1], c2 = chain[2], c3 = chain[3];
        int k = 0;
#pragma GCC unroll 16
        for (; k + 3 <= last; k += 4) {
            store(k, c0), store(k + 1, c1), store(k + 2, c2), store(k + 3, c3);
            c0 *= step, c1 *= step, c2 *= step, c3 *= step;
        }
        const Real rest[3] = {c0, c1, c2};
        for (int c = 0; k + c <= last; ++c) store(k + c, rest[c]);
    }
    Real operator()(int k) const { return table[k - kLow]; }
};

// The four second-order sums of terms, then their common factors.
struct Derivatives {
    Real x = 0, xx = 0, yy = 0, xy = 0;
};

template <std::size_t N, typename PowersX, typename PowersY>
Derivatives SumOf(const Terms<N> &terms, const PowersX &x, const PowersY &y) {
    Derivatives d;
    for (const Term &t : terms.term) {
        const Real base = x(t.i - 2) * y(t.j - 2);
        d.x += t.byX * base, d.xx += t.byXX * base, d.yy += t.byYY * base, d.xy += t.byXY * base;
    }
    const Real a = x(1), b = y(1);
    d.x *= a * b * b, d.xx *= b * b, d.yy *= a * a, d.xy *= a * b;
    return d;
}

// The first sum alone, to the bit as SumOf adds it up.
template <std::size_t N, typename PowersX, typename PowersY>
Real FirstOf(const Terms<N> &terms, const PowersX &x, const PowersY &y) {
    Real sum = 0;
    for (const Term &t : terms.term) sum += t.byX * (x(t.i - 2) * y(t.j - 2));
    const Real a = x(1), b = y(1);
    return sum * (a * b * b);
}

// v = R T gamma_pi / p*, with R T in kJ/kg and p* in kPa.
Real GibbsVolume(Real t, Real gammaPi, Real pStar) { return kGasConstant * t * gammaPi / (1000 * pStar); }

// The derivatives of a Gibbs function in reduced pressure pi and
// temperature tau that the properties need.
struct Gibbs {
    Real pi = 0, piPi = 0, tauTau = 0, piTau = 0;
};

// In 7.1 - pi and tau - 1.222, whose derivatives by pi change sign.
Gibbs Region1Gibbs(Real pi, Real tau) {
    const Derivatives d = SumOf(kRegion1, Powers<-2, 32>(7.1 - pi), Powers<-43, 17>(tau - 1.222));
    return {-d.x, d.xx, d.yy, -d.xy};
}

// Ideal and residual parts together; the ideal part's pi derivatives are
// 1/pi and -1/pi^2.
Gibbs Region2Gibbs(Real pi, Real tau) {
    const Derivatives d = SumOf(kRegion2, Powers<-2, 24>(pi), Powers<-2, 58>(tau - 0.5));
    Gibbs g{1 / pi + d.x, -1 / (pi * pi) + d.xx, d.yy, d.xy};
    const Powers<-7, 1> t(tau);
    for (std::size_t k = 0; k < std::size(kRegion2IdealDilute); ++k) {
        const int j = kRegion2IdealJ[k];
        g.tauTau += kRegion2IdealDilute[k] * j * (j - 1) * t(j - 2);
    }
    return g;
}

bool FromGibbs(Region region, Real p, Real t, CaloricProperties *out) {
    const Real rt = kGasConstant * t;
    Real pStar, tau;
    Gibbs g;
    if (region == Region::Liquid) {
        pStar = kRegion1Pressure, tau = kRegion1Temperature / t;
        g = Region1Gibbs(p / pStar, tau);
    } else {
        pStar = 1, tau = kRegion2Temperature / t;
        g = Region2Gibbs(p, tau);
    }
    const Real v = GibbsVolume(t, g.pi, pStar);
    const Real dvdp = rt * g.piPi / (1000 * pStar * pStar);  // m3/(kg MPa)
    const Real cp = -kGasConstant * tau * tau * g.tauTau;
    const Real c = g.pi - tau * g.piTau;
    if (!(g.piPi < 0) || !(g.tauTau < 0) || !(v > 0)) return false;
    const Real cv = cp + kGasConstant * c * c / g.piPi;
    const Real w2 = 1000 * rt * g.pi * g.pi / (c * c / (tau * tau * g.tauTau) - g.piPi);
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
    Real delta = 0, deltaDelta = 0, tauTau = 0, deltaTau = 0;
};

Helmholtz Region3Helmholtz(Real delta, Real tau) {
    const Derivatives d = SumOf(kRegion3, Powers<-2, 11>(delta), Powers<-2, 26>(tau));
    return {kRegion3Logarithm / delta + d.x, -kRegion3Logarithm / (delta * delta) + d.xx, d.yy, d.xy};
}

// Pressure (MPa) and its derivative along the isotherm at a density.
void Region3Pressure(Real rho, Real t, Real *p, Real *dpdrho) {
    const Real delta = rho / kCriticalDensity, tau = kCriticalTemperature / t;
    const Helmholtz f = Region3Helmholtz(delta, tau);
    const Real rt = kGasConstant * t / 1000;  // MPa m3/kg
    *p = rho * rt * delta * f.delta;
    *dpdrho = rt * delta * (2 * f.delta + delta * f.deltaDelta);
}

bool Region3At(Real p, Real t, Real guess, CaloricProperties *out) {
    // Newton's method from the guess; a step is at most a tenth of the
    // density, so a guess on the right side of the saturation line stays
    // there. Twenty steps settle every state of the tables' range.
    Real rho = guess;
    bool settled = false;
    for (int step = 0; step < 20 && !settled; ++step) {
        Real at, slope;
        Region3Pressure(rho, t, &at, &slope);
        if (!(slope > 0)) return false;
        Real change = (p - at) / slope;
        const Real limit = rho / 10;
        if (change > limit) change = limit;
        if (change < -limit) change = -limit;
        rho += change;
        settled = std::fabs(change) <= 1e-13 * rho;
    }
    if (!settled) return false;
    const Real delta = rho / kCriticalDensity, tau = kCriticalTemperature / t;
    const Helmholtz f = Region3Helmholtz(delta, tau);
    const Real pressureTerm = 2 * delta * f.delta + delta * delta * f.deltaDelta;
    const Real mixed = delta * f.delta - delta * tau * f.deltaTau;
    const Real cv = -kGasConstant * tau * tau * f.tauTau;
    if (!(pressureTerm > 0) || !(cv > 0)) return false;
    const Real cp = cv + kGasConstant * mixed * mixed / pressureTerm;
    const Real w2 = 1000 * kGasConstant * t * (pressureTerm - mixed * mixed / (tau * tau * f.tauTau));
    if (!(w2 > 0)) return false;
    out->density = rho;
    out->cp = cp;
    out->cv = cv;
    out->speedOfSound = std::sqrt(w2);
    out->densityByPressure = 1000 / (kGasConstant * t * pressureTerm);
    return true;
}

Real Boundary23Pressure(Real t) {
    return kBoundary23N[0] + kBoundary23N[1] * t + kBoundary23N[2] * t * t;
}

}  // namespace

Real DensityAt(Region region, Real pressure, Real temperature, Real densityGuess) {
    if (region == Region::NearCritical) {
        CaloricProperties c;
        return Region3At(pressure, temperature, densityGuess, &c) ? c.density : kNoDensity;
    }
    // gamma_pi, the Gibbs function's derivative by pi, as the caloric
    // properties sum it (region 2: its ideal part's 1 / pi and the residual
    // sum), so that the density is theirs to the bit.
    Real pStar = 1, gammaPi;
    if (region == Region::Liquid) {
        pStar = kRegion1Pressure;
        gammaPi = -FirstOf(kRegion1, Powers<-2, 32>(7.1 - pressure / pStar),
                           Powers<-43, 17>(kRegion1Temperature / temperature - 1.222));
    } else {
        gammaPi = 1 / pressure + FirstOf(kRegion2, Powers<-2, 24>(pressure),
                                         Powers<-2, 58>(kRegion2Temperature / temperature - 0.5));
    }
    const Real v = GibbsVolume(temperature, gammaPi, pStar);
    return v > 0 ? 1 / v : kNoDensity;
}

Region RegionOf(Real pressure, Real temperature, bool liquidSide) {
    if (temperature <= kBoundary23LowTemperature) return liquidSide ? Region::Liquid : Region::Vapour;
    return pressure <= Boundary23Pressure(temperature) ? Region::Vapour : Region::NearCritical;
}

bool CaloricAt(Region region, Real pressure, Real temperature, Real densityGuess,
               CaloricProperties *out) {
    if (region == Region::NearCritical) return Region3At(pressure, temperature, densityGuess, out);
    return FromGibbs(region, pressure, temperature, out);
}

}  // namespace rudid::formulation
