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

namespace rudid {

using Extended = long double;
static_assert(LDBL_MANT_DIG == 64, "the property arithmetic needs the x87 80-bit extended format");

struct Real48 {
    std::uint8_t bytes[6];
};

// Exact.
Extended Real48ToExtended(Real48 r);

// Rounds to 40 significant bits by the highest dropped bit (half-way cases
// away from zero), flushes magnitudes below 2^-128 to zero and raises the
// floating-point overflow failure for magnitudes of 2^127 or more after
// rounding, infinities and NaNs.
Real48 ExtendedToReal48(Extended x);

// Table values are IEEE singles; they enter the arithmetic through the same
// narrowing, which is exact for every finite single below 2^127.
inline Real48 SingleToReal48(float f) { return ExtendedToReal48(static_cast<Extended>(f)); }

inline bool IsZero(Real48 r) { return r.bytes[0] == 0; }

}  // namespace rudid
