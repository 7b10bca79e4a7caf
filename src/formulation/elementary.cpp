#include "formulation/elementary.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace rudid::formulation {

namespace {

// ln 2 in two parts: the high part has 32 significant bits, so k * high is
// exact for every k the exponential and the logarithm meet.
constexpr Real kLn2High = 0.693147180369123816490;    // 0xB17217F7 / 2^32
constexpr Real kLn2Low = 1.90821492927058781614e-10;  // ln 2 - kLn2High
constexpr Real kLn2 = 0.693147180559945309417232121458176568;
constexpr Real kSqrtHalf = 0.707106781186547524400844362104849039;
// Beyond these e^x is not a finite double, or rounds to 0.
constexpr Real kHighestExponent = 709.8, kLowestExponent = -745.2;

// The exponential takes x = (64 m + j) ln 2 / 64 + r, |r| <= ln 2 / 128:
// e^x = 2^m 2^(j/64) e^r, with 2^(j/64) from a table and e^r - 1 from the
// first six terms of its series, to r^6 (the next is below 1e-19).
constexpr int kExponentSteps = 64;
constexpr Real kStepsByLn2 = kExponentSteps / kLn2;
constexpr Real kLn2ByStepsHigh = kLn2High / kExponentSteps, kLn2ByStepsLow = kLn2Low / kExponentSteps;

// The logarithm takes m = x / 2^e in [sqrt(1/2), sqrt(2)) to the nearest
// c = 1 + k/64: ln m = ln c + 2 atanh s, s = (m - c) / (m + c), |s| < 1/180.
// The arctangent takes x in [0, 1] to the nearest c = k/16: atan x = atan c
// + atan t, t = (x - c) / (1 + x c), |t| <= 1/32. ln c and atan c come from
// tables, worked out once at compile time in extended precision.
constexpr int kLogarithmSteps = 64, kArctangentSteps = 16;
constexpr int kLowestLogarithmStep = -19, kHighestLogarithmStep = 27;  // c from 0.703 to 1.422

// The series below are summed by Horner's rule from coefficients worked out
// once here, so that a term costs a multiply and an add, not a division.
// Each has terms enough for its argument's range (the first left out is
// below 1e-18 of the sum): |r| <= ln 2 / 128 for the exponential, s^2 <
// 3.1e-5 for the logarithm, t^2 < 0.001 for the arctangent.
constexpr int kExponentialTerms = 7;  // 1/k! for k = 0 ... 6
constexpr int kLogarithmTerms = 4;    // 1/(2m + 1) for m = 0 ... 3
constexpr int kArctangentTerms = 6;   // (-1)^m / (2m + 1) for m = 0 ... 5

template <int N>
struct Coefficients {
    Real c[N];
};

constexpr Coefficients<kExponentialTerms> ExponentialSeries() {
    Coefficients<kExponentialTerms> s{};
    long double factorial = 1;
    for (int k = 0; k < kExponentialTerms; ++k) {
        if (k > 0) factorial *= k;
        s.c[k] = Real(1 / factorial);
    }
    return s;
}

template <int N>
constexpr Coefficients<N> OddSeries(bool alternating) {
    Coefficients<N> s{};
    for (int m = 0; m < N; ++m) s.c[m] = (alternating && (m & 1) ? -1 : 1) / Real(2 * m + 1);
    return s;
}

constexpr auto kExponentialSeries = ExponentialSeries();

// 2^(j/64) for j = 0 ... 63, each the double nearest the sum of its series
// in extended precision (correct to about 1e-19, so to the last bit but
// for values within that of a tie).
constexpr Coefficients<kExponentSteps> PowersOfTwoBySteps() {
    Coefficients<kExponentSteps> s{};
    for (int j = 0; j < kExponentSteps; ++j) {
        const long double y = j * (0.693147180559945309417232121458176568L / kExponentSteps);
        long double term = 1, sum = 1;
        for (int k = 1; k < 30; ++k) term *= y / k, sum += term;
        s.c[j] = Real(sum);
    }
    return s;
}

constexpr auto kPowersOfTwoBySteps = PowersOfTwoBySteps();

// 2^m for a double's normal exponents, from its bits.
Real PowerOfTwo(int m) { return std::bit_cast<Real>(std::uint64_t(m + 1023) << 52); }

// ln(1 + k/64) for k from kLowestLogarithmStep, as 2 atanh z with z = (c -
// 1) / (c + 1), |z| < 0.18, summed in extended precision.
constexpr Coefficients<kHighestLogarithmStep - kLowestLogarithmStep + 1> LogarithmsOfSteps() {
    Coefficients<kHighestLogarithmStep - kLowestLogarithmStep + 1> s{};
    for (int k = kLowestLogarithmStep; k <= kHighestLogarithmStep; ++k) {
        const long double c = 1 + (long double)k / kLogarithmSteps, z = (c - 1) / (c + 1);
        long double power = z, sum = 0;
        for (int m = 0; m < 20; ++m) sum += power / (2 * m + 1), power *= z * z;
        s.c[k - kLowestLogarithmStep] = Real(2 * sum);
    }
    return s;
}

// atan(k/16) for k = 0 ... 16, by Euler's series, whose terms shrink by at
// least half each for arguments up to 1, summed in extended precision.
constexpr Coefficients<kArctangentSteps + 1> ArctangentsOfSteps() {
    Coefficients<kArctangentSteps + 1> s{};
    for (int k = 0; k <= kArctangentSteps; ++k) {
        const long double x = (long double)k / kArctangentSteps, q = x * x / (1 + x * x);
        long double term = x / (1 + x * x), sum = 0;
        for (int n = 0; n < 80; ++n) sum += term, term *= q * (2 * n + 2) / (2 * n + 3);
        s.c[k] = Real(sum);
    }
    return s;
}

constexpr auto kLogarithmsOfSteps = LogarithmsOfSteps();
constexpr auto kArctangentsOfSteps = ArctangentsOfSteps();
constexpr auto kLogarithmSeries = OddSeries<kLogarithmTerms>(false);
constexpr auto kArctangentSeries = OddSeries<kArctangentTerms>(true);

// The sum over m < n of c[m] x^m.
Real Horner(const Real *c, int n, Real x) {
    Real sum = c[n - 1];
    for (int m = n - 2; m >= 0; --m) sum = sum * x + c[m];
    return sum;
}

}  // namespace

Real IntegerPower(Real x, int n) {
    unsigned m = n < 0 ? 0u - unsigned(n) : unsigned(n);
    Real result = 1, square = x;
    while (m) {
        if (m & 1u) result *= square;
        m >>= 1;
        if (m) square *= square;
    }
    return n < 0 ? 1 / result : result;
}

void PowerTable(Real x, int low, int high, Real *powers) {
    Real *zero = powers - low;
    zero[0] = 1;
    for (int k = 1; k <= high; ++k) zero[k] = zero[k - 1] * x;
    if (low < 0) {
        const Real inverse = 1 / x;
        for (int k = -1; k >= low; --k) zero[k] = zero[k + 1] * inverse;
    }
}

Real Exponential(Real x) {
    if (std::isnan(x)) return x;
    if (x > kHighestExponent) return std::numeric_limits<Real>::infinity();
    if (x < kLowestExponent) return 0;
    // x = k ln 2 / 64 + r with |r| <= ln 2 / 128, k the nearest whole
    // number (ties away from zero; |k| < 70,400, so k times the high part
    // of ln 2 / 64 is exact); k = 64 m + j with 0 <= j < 64.
    const int k = int(x * kStepsByLn2 + (x < 0 ? -0.5 : 0.5));
    const Real r = (x - k * kLn2ByStepsHigh) - k * kLn2ByStepsLow;
    const int j = k & (kExponentSteps - 1), m = (k - j) / kExponentSteps;
    const Real step = kPowersOfTwoBySteps.c[j];
    // e^r - 1 = r (1 + r/2 + r^2/6 + ... + r^5/720), its three pairs of
    // terms summed side by side (Estrin's scheme): a shorter chain.
    const Real *c = kExponentialSeries.c;
    const Real r2 = r * r;
    const Real series = (c[1] + c[2] * r) + r2 * ((c[3] + c[4] * r) + r2 * (c[5] + c[6] * r));
    const Real value = step + step * (r * series);
    // 2^m is a normal double but at the ends: e^x of 2^1024 (1 - r) is, and
    // below 2^-1022 the scaling rounds once, to the subnormal.
    if (m > -1022 && m < 1024) return value * PowerOfTwo(m);
    if (m > 0) return value * PowerOfTwo(m - 1) * 2;
    return value * PowerOfTwo(m + 60) * PowerOfTwo(-60);
}

Real Logarithm(Real x) {
    if (!(x > 0)) return std::numeric_limits<Real>::quiet_NaN();
    if (std::isinf(x)) return x;
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)), read from the bits (a
    // subnormal x scaled up by 2^60 first).
    int e = -1023;
    if (x < std::numeric_limits<Real>::min()) x *= PowerOfTwo(60), e -= 60;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    e += int(bits >> 52);
    Real m = std::bit_cast<Real>((bits & ((std::uint64_t(1) << 52) - 1)) | (std::uint64_t(1023) << 52));  // [1, 2)
    if (m >= 2 * kSqrtHalf) m /= 2, ++e;
    // m - c is exact (they are within a factor 2 of each other).
    const int k = int((m - 1) * kLogarithmSteps + 64.5) - 64;
    const Real c = 1 + Real(k) / kLogarithmSteps;
    const Real s = (m - c) / (m + c);
    const Real series = 2 * s * Horner(kLogarithmSeries.c, kLogarithmTerms, s * s);
    return e * kLn2High + (kLogarithmsOfSteps.c[k - kLowestLogarithmStep] + (series + e * kLn2Low));
}

Real RealPower(Real x, Real y) { return Exponential(y * Logarithm(x)); }

Real Arctangent(Real x) {
    if (std::isnan(x)) return x;
    if (x < 0) return -Arctangent(-x);
    // atan x = pi/2 - atan(1/x) above 1.
    if (x > 1) return kPi / 2 - Arctangent(1 / x);
    // x - c is exact where c is not 0 (they are within a factor 2).
    const int k = int(x * kArctangentSteps + 0.5);
    const Real c = Real(k) / kArctangentSteps;
    const Real t = (x - c) / (1 + x * c);
    return kArctangentsOfSteps.c[k] + t * Horner(kArctangentSeries.c, kArctangentTerms, t * t);
}

}  // namespace rudid::formulation
