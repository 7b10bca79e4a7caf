// Six-byte reals: the number format in which every property value passes
// between the lookups and the exported functions.
//
// Layout, byte 0 first: biased exponent (bias 129, 0 means zero), then the
// 39-bit fraction least significant byte first, with the sign in bit 7 of
// byte 5. 40 significant bits with the implied leading one; no infinities,
// NaNs, subnormals or negative zero.
//
// Arithmetic never runs on a Real48: it is widened to the x87 extended format
// (`Extended`), computed there and rounded back with ExtendedToReal48.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

namespace rudid {

using Extended = long double;
static_assert(LDBL_MANT_DIG == 64, "the property arithmetic needs the x87 80-bit extended format");

struct Real48 {
    std::uint8_t bytes[6];
};

// Exact.
inline Extended Real48ToExtended(Real48 r);

// Rounds to 40 significant bits by the highest dropped bit (half-way cases
// away from zero), flushes magnitudes below 2^-128 to zero and raises the
// floating-point overflow failure for magnitudes of 2^127 or more after
// rounding, infinities and NaNs.
inline Real48 ExtendedToReal48(Extended x);

// Table values are IEEE singles; they enter the arithmetic through the same
// narrowing, which is exact for every finite single below 2^127.
inline Real48 SingleToReal48(float f) { return ExtendedToReal48(static_cast<Extended>(f)); }

inline bool IsZero(Real48 r) { return r.bytes[0] == 0; }

namespace real48_detail {

// The x87 extended format as it lies in memory on x86: the 64-bit
// significand with its explicit integer bit, then sign and 15-bit exponent.
struct ExtendedBits {
    std::uint64_t significand;
    std::uint16_t signAndExponent;
};

constexpr int kExponentShift = 16383 - 129;  // extended bias less Real48 bias

[[noreturn]] void RaiseOverflow();

}  // namespace real48_detail

inline Extended Real48ToExtended(Real48 r) {
    using namespace real48_detail;
    if (r.bytes[0] == 0) return 0.0L;
    std::uint64_t top = 0;  // sign and the 39 fraction bits, most significant first
    std::memcpy(&top, r.bytes + 1, 5);
    ExtendedBits bits{(std::uint64_t(1) << 63) | ((top & 0x7FFFFFFFFFull) << 24),
                      std::uint16_t(((top >> 39) << 15) | (r.bytes[0] + kExponentShift))};
    Extended x = 0;
    std::memcpy(&x, &bits, 10);
    return x;
}

inline Real48 ExtendedToReal48(Extended x) {
    using namespace real48_detail;
    ExtendedBits bits{};
    std::memcpy(&bits, &x, 10);
    int exponent = bits.signAndExponent & 0x7FFF;
    Real48 r{};
    if (exponent == 0x7FFF) RaiseOverflow();  // infinity or NaN
    if (exponent == 0) return r;             // zero or subnormal

    // Keep the integer bit and the 39 bits below it; the highest dropped bit
    // decides, whatever lies under it, and ties go away from zero.
    std::uint64_t kept = bits.significand >> 24;
    if (bits.significand & (std::uint64_t(1) << 23)) {
        kept += 1;
        if (kept >> 40) {  // carried out of the top: the next power of two
            kept >>= 1;
            exponent += 1;
        }
    }
    const int e = exponent - kExponentShift;
    if (e <= 0) return r;
    if (e > 255) RaiseOverflow();

    const std::uint64_t sign = bits.signAndExponent >> 15;
    const std::uint64_t packed = (kept & 0x7FFFFFFFFFull) | (sign << 39);
    r.bytes[0] = std::uint8_t(e);
    std::memcpy(r.bytes + 1, &packed, 5);
    return r;
}

}  // namespace rudid
