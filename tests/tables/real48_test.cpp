#include "support/real48_bytes.h"
#include "common/real48.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/failure.h"

namespace rudid {
namespace {

using Bytes = testing::Real48Bytes;
using testing::BytesOf;

Real48 FromBytes(Bytes b) {
    Real48 r;
    std::memcpy(r.bytes, b.data(), 6);
    return r;
}

// An extended value built from its significand and unbiased exponent.
Extended Make(std::uint64_t significand, int exponent, bool negative = false) {
    Extended x = std::ldexp(Extended(significand), exponent - 63);
    return negative ? -x : x;
}

int FailureCodeOf(Extended x) {
    try {
        ExtendedToReal48(x);
    } catch (const LibraryFailure &f) {
        return f.code;
    }
    return 0;
}

TEST(Real48Format, KnownValuesStoreAsTheirBytes) {
    EXPECT_EQ(BytesOf(ExtendedToReal48(1.0L)), (Bytes{0x81, 0, 0, 0, 0, 0}));
    EXPECT_EQ(BytesOf(ExtendedToReal48(-1.0L)), (Bytes{0x81, 0, 0, 0, 0, 0x80}));
    EXPECT_EQ(BytesOf(ExtendedToReal48(221.2L)), (Bytes{0x88, 0x33, 0x33, 0x33, 0x33, 0x5D}));
    EXPECT_EQ(BytesOf(ExtendedToReal48(374.15L)), (Bytes{0x89, 0x33, 0x33, 0x33, 0x13, 0x3B}));
    EXPECT_EQ(BytesOf(ExtendedToReal48(999.999L)), (Bytes{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x79}));
}

TEST(Real48Format, ZeroIsAllZeroBytesWhateverItsSignOrTheOtherBytes) {
    EXPECT_EQ(BytesOf(ExtendedToReal48(0.0L)), Bytes{});
    EXPECT_EQ(BytesOf(ExtendedToReal48(-0.0L)), Bytes{});
    const Extended x = Real48ToExtended(FromBytes({0x00, 0x12, 0x34, 0x56, 0x78, 0xFF}));
    EXPECT_EQ(x, 0.0L);
    EXPECT_FALSE(std::signbit(x));
}

TEST(Real48Format, WideningIsExactAndRoundTrips) {
    for (Extended v : {1.0L, -1.5L, 0.1L, 221.2L, 1e-30L, 1.5e38L, 3.0e-39L}) {
        const Real48 r = ExtendedToReal48(v);
        EXPECT_EQ(BytesOf(ExtendedToReal48(Real48ToExtended(r))), BytesOf(r)) << double(v);
        EXPECT_LE(std::fabs(Real48ToExtended(r) - v), std::fabs(v) * 0x1p-40L) << double(v);
    }
    EXPECT_EQ(Real48ToExtended(ExtendedToReal48(0.1f)), Extended(0.1f));  // singles fit exactly
}

TEST(Real48Rounding, HighestDroppedBitDecidesAndTiesGoAwayFromZero) {
    const std::uint64_t base = 0x8000000000000000ull | (0x5ull << 24);
    const std::uint64_t half = 1ull << 23;
    for (bool negative : {false, true}) {
        const Extended exact = Make(base, 0, negative);
        // bit 23 set, nothing below: rounds up in magnitude for both signs
        EXPECT_EQ(std::fabs(Real48ToExtended(ExtendedToReal48(Make(base | half, 0, negative)))),
                  std::fabs(exact) + 0x1p-39L);
        // bit 23 clear: truncated, whatever lies below
        EXPECT_EQ(Real48ToExtended(ExtendedToReal48(Make(base | (half - 1), 0, negative))), exact);
    }
}

TEST(Real48Rounding, CarryOutOfTheTopGivesTheNextPowerOfTwo) {
    const std::uint64_t allOnes = ~0ull;  // top 40 bits ones, bit 23 set
    EXPECT_EQ(Real48ToExtended(ExtendedToReal48(Make(allOnes, 0))), 2.0L);
    EXPECT_EQ(Real48ToExtended(ExtendedToReal48(Make(allOnes, 3, true))), -16.0L);
}

TEST(Real48Range, TinyValuesFlushToZeroAndTheSmallestIsKept) {
    EXPECT_EQ(BytesOf(ExtendedToReal48(0x1p-128L)), (Bytes{0x01, 0, 0, 0, 0, 0}));
    EXPECT_EQ(BytesOf(ExtendedToReal48(0x1p-129L)), Bytes{});
    EXPECT_EQ(BytesOf(ExtendedToReal48(-0x1p-140L)), Bytes{});
    EXPECT_EQ(BytesOf(ExtendedToReal48(0x1p-16440L)), Bytes{});  // extended subnormal
}

TEST(Real48Range, LargeInfiniteAndNanValuesFailWithOverflow) {
    EXPECT_EQ(FailureCodeOf(0x1p127L), kFloatingPointOverflow);
    EXPECT_EQ(FailureCodeOf(-1e39L), kFloatingPointOverflow);
    EXPECT_EQ(FailureCodeOf(INFINITY), kFloatingPointOverflow);
    EXPECT_EQ(FailureCodeOf(NAN), kFloatingPointOverflow);
    // The largest Real48 is fine; a value that rounds up past it is not.
    const Extended largest = Make(~0ull << 24, 126);
    EXPECT_EQ(FailureCodeOf(largest), 0);
    EXPECT_EQ(FailureCodeOf(Make(~0ull, 126)), kFloatingPointOverflow);
}

TEST(FailureMessages, KnownCodesHaveTheirTextsAndOthersANumber) {
    char text[64];
    FailureMessage(2, text, sizeof text);
    EXPECT_STREQ(text, "File not found");
    FailureMessage(100, text, sizeof text);
    EXPECT_STREQ(text, "Read beyond end of file");
    FailureMessage(205, text, sizeof text);
    EXPECT_STREQ(text, "Floating point overflow");
    FailureMessage(32, text, sizeof text);
    EXPECT_STREQ(text, "I/O error 32");
}

}  // namespace
}  // namespace rudid
