#include "formulation/elementary.h"

#include <cmath>
#include <limits>

namespace rudid::formulation {

namespace {

// ln 2 in two parts: the high part has 32 significant bits, so k * high is
// exact for every k the exponential meets.
constexpr Extended kLn2High = 0.693147180369123816490L;    // 0xB17217F7 / 2^32
constexpr Extended kLn2Low = 1.90821492927058781614e-10L;  // ln 2 - kLn2High
constexpr Extended kLn2 = 0.693147180559945309417232121458176568L;
constexpr Extended kSqrtHalf = 0.707106781186547524400844362104849039L;

}  // namespace

Extended IntegerPower(Extended x, int n) {
    unsigned m = n < 0 ? 0u - unsigned(n) : unsigned(n);
    Extended result = 1, square = x;
    while (m) {
        if (m & 1u) result *= square;
        m >>= 1;
        if (m) square *= square;
    }
    return n < 0 ? 1 / result : result;
}

void PowerTable(Extended x, int low, int high, Extended *powers) {
    Extended *zero = powers - low;
    zero[0] = 1;
    for (int k = 1; k <= high; ++k) zero[k] = zero[k - 1] * x;
    if (low < 0) {
        const Extended inverse = 1 / x;
        for (int k = -1; k >= low; --k) zero[k] = zero[k + 1] * inverse;
    }
}

Extended Exponential(Extended x) {
    if (std::isnan(x)) return x;
    if (x > 11400) return std::numeric_limits<Extended>::infinity();
    if (x < -11400) return 0;
    // x = k ln 2 + r with |r| <= ln2 / 2, then r halved four times so that
    // the series converges in a handful of terms; squared back after.
    // The nearest whole number, ties away from zero: |x / ln 2| < 16500.
    const Extended k = Extended(static_cast<long long>(x / kLn2 + (x < 0 ? -0.5L : 0.5L)));
    const Extended r = (x - k * kLn2High) - k * kLn2Low;
    const Extended t = r / 16;
    Extended term = 1, sum = 1;
    for (int i = 1; i <= 14; ++i) {
        term *= t / i;
        sum += term;
    }
    for (int i = 0; i < 4; ++i) sum *= sum;
    return std::ldexp(sum, int(k));
}

Extended Logarithm(Extended x) {
    if (!(x > 0)) return std::numeric_limits<Extended>::quiet_NaN();
    if (std::isinf(x)) return x;
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh s with
    // s = (m - 1) / (m + 1), |s| < 0.172.
    int e = 0;
    Extended m = std::frexp(x, &e);  // [1/2, 1)
    if (m < kSqrtHalf) m *= 2, --e;
    const Extended s = (m - 1) / (m + 1), s2 = s * s;
    Extended power = s, sum = 0;
    for (int i = 1; i <= 41; i += 2) {
        sum += power / i;
        power *= s2;
    }
    return 2 * sum + e * kLn2High + e * kLn2Low;
}

Extended RealPower(Extended x, Extended y) { return Exponential(y * Logarithm(x)); }

Extended Arctangent(Extended x) {
    if (std::isnan(x)) return x;
    if (x < 0) return -Arctangent(-x);
    // atan x = pi/2 - atan(1/x) above 1; then halve the angle three times
    // (atan x = 2 atan(x / (1 + sqrt(1 + x^2)))) to |x| < 0.1, where the
    // series converges fast.
    if (x > 1) return kPi / 2 - Arctangent(1 / x);
    Extended y = x;
    for (int i = 0; i < 3; ++i) y = y / (1 + std::sqrt(1 + y * y));
    const Extended y2 = y * y;
    Extended power = y, sum = 0;
    for (int i = 0; i < 14; ++i) {
        const Extended term = power / (2 * i + 1);
        sum += (i & 1) ? -term : term;
        power *= y2;
    }
    return 8 * sum;
}

}  // namespace rudid::formulation
