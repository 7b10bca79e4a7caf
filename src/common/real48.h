// Six-byte reals: the number format in which every property value passes
// between the lookups and the exported functions.
//
// Layout, byte 0 first: biased exponent (bias 129, 0 means zero), then the
// 39-bit fraction least significant byte first, with the sign in bit 7 of
// byte 5. 40 significant bits with the implied leading one; no infinities,
// NaNs, subnormals or negative zero.
//
// Arithmetic never runs on a Real48: it is widened to the x87 extended format
// (`Extended`), computed there and rounded back. Inside a lookup the rounded
// values stay widened (RoundToReal48 gives the extended value of the Real48
// that ExtendedToReal48 would store); values that leave a lookup are Real48.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace rudid {

using Extended = long double;
// The x87 80-bit extended format: a 64-bit significand and a 15-bit
// exponent. GCC gives it as long double on i686 and x86-64, for Linux and
// for both Windows targets of mingw-w64; a compiler whose long double is the
// 64-bit double (MSVC) or a 128-bit format cannot build the library.
static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && LDBL_MIN_EXP == -16381,
              "the property arithmetic needs the x87 80-bit extended format");

struct Real48 {
    std::uint8_t bytes[6];
};

namespace real48_detail {

[[noreturn]] void RaiseOverflow();

// Veltkamp's split: the value rounded to nearest on 40 significant bits
// (64 - 24), with ties broken either way. Needs a 64-bit significand.
inline Extended SplitHigh(Extended x) {
    const Extended c = 16777217.0L * x;  // 2^24 + 1
    return c - (c - x);
}

}  // namespace real48_detail

// The value x rounded to a Real48: 40 significant bits by the highest dropped
// bit, half-way cases away from zero (the dropped bits below it never
// matter); magnitudes below 2^-128 become zero; magnitudes of 2^127 or more
// after rounding, infinities and NaNs raise the floating-point overflow
// failure. Computed without leaving the floating-point unit.
inline Extended RoundToReal48(Extended x) {
    using namespace real48_detail;
    Extended high = SplitHigh(x);
    const Extended low = x - high;  // exact
    if (low != 0) {
        // A tie is the only case where the split may have gone toward zero:
        // then the other neighbour is on the 40-bit grid too.
        const Extended other = high + 2 * low;
        if (SplitHigh(other) == other && std::fabs(other) > std::fabs(high)) high = other;
    }
    const Extended magnitude = std::fabs(high);
    if (!(magnitude < 0x1p127L)) RaiseOverflow();
    if (magnitude < 0x1p-128L) return 0.0L;
    return high;
}

// RoundToReal48 of a double, computed on its bits: a double carries 53
// significant bits, so adding half of the 40-bit grid's step (bit 12) to the
// magnitude and clearing the 13 bits below the grid rounds by the highest
// dropped bit with ties away from zero, a carry moving into the exponent as
// it should. The same value as RoundToReal48(Extended(x)) for every double;
// infinities and NaNs take that path and raise its failure.
inline Extended RoundDoubleToReal48(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    constexpr std::uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull;
    constexpr std::uint64_t kInfinity = 0x7FF0000000000000ull;
    if ((bits & kMagnitude) >= kInfinity) return RoundToReal48(Extended(x));
    const std::uint64_t rounded = (bits + 0x1000u) & ~std::uint64_t(0x1FFF);
    const std::uint64_t magnitude = rounded & kMagnitude;
    if (magnitude >= (std::uint64_t(1023 + 127) << 52)) real48_detail::RaiseOverflow();
    if (magnitude < (std::uint64_t(1023 - 128) << 52)) return 0.0L;
    double d;
    std::memcpy(&d, &rounded, sizeof d);
    return d;
}

// A table single as it enters the arithmetic: exact below 2^127 in
// magnitude, zero below 2^-128, the overflow failure otherwise.
inline Extended SingleValue(float f) {
    const Extended x = f;
    const Extended magnitude = std::fabs(x);
    if (!(magnitude < 0x1p127L)) real48_detail::RaiseOverflow();
    if (magnitude < 0x1p-128L) return 0.0L;
    return x;
}

// Exact. A Real48 fits a double exactly, which is the cheap way into the
// floating-point unit.
inline double Real48ToDouble(Real48 r) {
    if (r.bytes[0] == 0) return 0.0;
    std::uint64_t top = 0;  // fraction bits 0..38, then the sign
    std::memcpy(&top, r.bytes + 1, 5);
    const std::uint64_t bits = ((top >> 39) << 63) | (std::uint64_t(r.bytes[0] - 129 + 1023) << 52) |
                               ((top & 0x7FFFFFFFFFull) << 13);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

inline Extended Real48ToExtended(Real48 r) { return Real48ToDouble(r); }

// Rounds as RoundToReal48 and stores the result in the six-byte format.
inline Real48 ExtendedToReal48(Extended x) {
    const double d = double(RoundToReal48(x));  // exact: 40 bits
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Real48 r{};
    if (d == 0) return r;
    const std::uint64_t packed = ((bits >> 13) & 0x7FFFFFFFFFull) | ((bits >> 63) << 39);
    r.bytes[0] = std::uint8_t(int((bits >> 52) & 0x7FF) - 1023 + 129);
    std::memcpy(r.bytes + 1, &packed, 5);
    return r;
}

inline bool IsZero(Real48 r) { return r.bytes[0] == 0; }

}  // namespace rudid
