#include "tables/real48.h"

#include <cstring>

#include "tables/failure.h"

namespace rudid {

namespace {

// The x87 extended format as it lies in memory on x86: the 64-bit significand
// with its explicit integer bit, then sign and 15-bit exponent.
struct ExtendedBits {
    std::uint64_t significand;
    std::uint16_t signAndExponent;
};

constexpr int kExtendedBias = 16383;
constexpr int kReal48Bias = 129;
constexpr int kExponentShift = kExtendedBias - kReal48Bias;  // 16254

ExtendedBits BitsOf(Extended x) {
    ExtendedBits bits{};
    std::memcpy(&bits, &x, 10);
    return bits;
}

Extended FromBits(ExtendedBits bits) {
    Extended x = 0;
    std::memcpy(&x, &bits, 10);
    return x;
}

}  // namespace

Extended Real48ToExtended(Real48 r) {
    if (r.bytes[0] == 0) return 0.0L;
    std::uint64_t fraction = 0;  // 39 bits
    fraction |= std::uint64_t(r.bytes[5] & 0x7F) << 32;
    fraction |= std::uint64_t(r.bytes[4]) << 24;
    fraction |= std::uint64_t(r.bytes[3]) << 16;
    fraction |= std::uint64_t(r.bytes[2]) << 8;
    fraction |= std::uint64_t(r.bytes[1]);
    ExtendedBits bits{};
    bits.significand = (std::uint64_t(1) << 63) | (fraction << 24);
    bits.signAndExponent =
        std::uint16_t((r.bytes[5] & 0x80 ? 0x8000 : 0) | (r.bytes[0] + kExponentShift));
    return FromBits(bits);
}

Real48 ExtendedToReal48(Extended x) {
    ExtendedBits bits = BitsOf(x);
    int exponent = bits.signAndExponent & 0x7FFF;
    const bool negative = (bits.signAndExponent & 0x8000) != 0;
    Real48 r{};
    if (exponent == 0x7FFF) RaiseFailure(kFloatingPointOverflow);  // infinity or NaN
    if (exponent == 0) return r;                                  // zero or subnormal

    // Keep the integer bit and the 39 bits below it; the highest dropped bit
    // decides, whatever lies under it, and ties go away from zero.
    std::uint64_t kept = bits.significand >> 24;
    if (bits.significand & (std::uint64_t(1) << 23)) {
        kept += 1;
        if (kept >> 40) {  // carried out of the top: next power of two
            kept >>= 1;
            exponent += 1;
        }
    }
    const int e = exponent - kExponentShift;
    if (e <= 0) return r;
    if (e > 255) RaiseFailure(kFloatingPointOverflow);

    const std::uint64_t fraction = kept & ((std::uint64_t(1) << 39) - 1);
    r.bytes[0] = std::uint8_t(e);
    r.bytes[1] = std::uint8_t(fraction);
    r.bytes[2] = std::uint8_t(fraction >> 8);
    r.bytes[3] = std::uint8_t(fraction >> 16);
    r.bytes[4] = std::uint8_t(fraction >> 24);
    r.bytes[5] = std::uint8_t((fraction >> 32) | (negative ? 0x80 : 0));
    return r;
}

}  // namespace rudid
