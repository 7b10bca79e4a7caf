#include "support/real48_bytes.h"
#include "common/interpolation.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "common/failure.h"
#include "support/real48_interpolation.h"

namespace rudid {
namespace {

using Bytes = testing::Real48Bytes;
using testing::BytesOf;
using testing::InterpolateBilinear;
using testing::InterpolateLinear;

Real48 R(Extended v) { return ExtendedToReal48(v); }
// A table single as the lookups widen it.
Real48 FromSingle(float f) { return ExtendedToReal48(SingleValue(f)); }

int FailureCodeOf(Real48 x, Real48 x0, Real48 x1, Real48 y0, Real48 y1) {
    try {
        InterpolateLinear(x, x0, x1, y0, y1);
    } catch (const LibraryFailure &f) {
        return f.code;
    }
    return 0;
}

// Table-like values: singles with all their bits in use, as the table files
// hold them.
const float kOrdinates[] = {0.0010434f, 1.6940f, 417.46f, 2675.5f, 1.3026f, 7.3594f, -0.04f, 9.1577f};

TEST(Interpolate, AtTheLowerAbscissaGivesTheLowerOrdinateExactly) {
    const Real48 x0 = R(97.17L), x1 = R(100.0L);
    for (float y0 : kOrdinates)
        for (float y1 : kOrdinates)
            EXPECT_EQ(BytesOf(InterpolateLinear(x0, x0, x1, FromSingle(y0), FromSingle(y1))),
                      BytesOf(FromSingle(y0)))
                << y0 << " -> " << y1;
}

TEST(Interpolate, AtTheUpperAbscissaGivesTheUpperOrdinateForTableValues) {
    // Abscissae as the lookups pass them: pressure grid points and whole
    // temperatures.
    const Extended abscissae[][2] = {{0.01L, 0.015L}, {1.0L, 1.1L}, {100.0L, 102.0L},
                                     {370.0L, 374.15L}, {90.0L, 100.0L}, {5.2L, 5.4L}};
    for (const auto &a : abscissae) {
        const Real48 x0 = R(a[0]), x1 = R(a[1]);
        for (float y0 : kOrdinates)
            for (float y1 : kOrdinates)
                EXPECT_EQ(BytesOf(InterpolateLinear(x1, x0, x1, FromSingle(y0), FromSingle(y1))),
                          BytesOf(FromSingle(y1)))
                    << a[0] << ".." << a[1] << ": " << y0 << " -> " << y1;
    }
}

TEST(Interpolate, PointsOutsideTheIntervalAreExtrapolatedOnTheSameLine) {
    // The line y = 2x + 1 through (1, 3) and (2, 5).
    const Real48 x0 = R(1), x1 = R(2), y0 = R(3), y1 = R(5);
    EXPECT_EQ(BytesOf(InterpolateLinear(R(4), x0, x1, y0, y1)), BytesOf(R(9)));
    EXPECT_EQ(BytesOf(InterpolateLinear(R(-3), x0, x1, y0, y1)), BytesOf(R(-5)));
    EXPECT_EQ(BytesOf(InterpolateLinear(R(0.5L), x0, x1, y0, y1)), BytesOf(R(2)));
    // Swapped abscissae describe the same line.
    EXPECT_EQ(BytesOf(InterpolateLinear(R(4), x1, x0, y1, y0)), BytesOf(R(9)));
}

TEST(Interpolate, ResultIsRoundedToReal48) {
    // 1/3 of the way from 0 to 1: the extended quotient is rounded once to
    // the Real48 nearest to 1/3.
    const Real48 r = InterpolateLinear(R(1), R(0), R(3), R(0), R(1));
    EXPECT_EQ(BytesOf(r), BytesOf(R(1.0L / 3.0L)));
    EXPECT_NE(Real48ToExtended(r), 1.0L / 3.0L);
}

TEST(Interpolate, EqualAbscissaeRaiseDivisionByZero) {
    EXPECT_EQ(FailureCodeOf(R(2), R(1), R(1), R(3), R(5)), kDivisionByZero);
    EXPECT_EQ(FailureCodeOf(R(0.5L), R(100), R(100), R(-1), R(1)), kDivisionByZero);
}

TEST(Interpolate, EqualAbscissaeWithAZeroNumeratorRaiseInvalidOperation) {
    // Equal ordinates, or the point on the abscissa: 0/0.
    EXPECT_EQ(FailureCodeOf(R(2), R(1), R(1), R(3), R(3)), kInvalidFloatingPointOperation);
    EXPECT_EQ(FailureCodeOf(R(1), R(1), R(1), R(3), R(5)), kInvalidFloatingPointOperation);
}

TEST(Interpolate, OverflowingResultRaisesFloatingPointOverflow) {
    int code = 0;
    try {
        InterpolateLinear(R(4), R(0), R(1), R(0), R(1e38L));
    } catch (const LibraryFailure &f) {
        code = f.code;
    }
    EXPECT_EQ(code, kFloatingPointOverflow);
}

struct Cell {
    Real48 x0, y0, x1, y1, z00, z10, z01, z11;
};

Cell SampleCell() {
    return Cell{R(600), R(500), R(610), R(520),
                FromSingle(3.5618f), FromSingle(3.6071f), FromSingle(3.4402f), FromSingle(3.4878f)};
}

Real48 Bilinear(const Cell &c, Real48 x, Real48 y) {
    return InterpolateBilinear(x, y, c.x0, c.y0, c.x1, c.y1, c.z00, c.z10, c.z01, c.z11);
}

TEST(InterpolateCell, EachCornerGivesItsOwnValue) {
    const Cell c = SampleCell();
    EXPECT_EQ(BytesOf(Bilinear(c, c.x0, c.y0)), BytesOf(c.z00));
    EXPECT_EQ(BytesOf(Bilinear(c, c.x1, c.y0)), BytesOf(c.z10));
    EXPECT_EQ(BytesOf(Bilinear(c, c.x0, c.y1)), BytesOf(c.z01));
    EXPECT_EQ(BytesOf(Bilinear(c, c.x1, c.y1)), BytesOf(c.z11));
}

TEST(InterpolateCell, OnTheLowerEdgeEqualsTheLinearInterpolationAlongX) {
    const Cell c = SampleCell();
    for (Extended x : {600.0L, 601.0L, 603.7L, 605.0L, 609.99L}) {
        EXPECT_EQ(BytesOf(Bilinear(c, R(x), c.y0)),
                  BytesOf(InterpolateLinear(R(x), c.x0, c.x1, c.z00, c.z10)))
            << x;
    }
}

// The line through (x0, y0) and (x1, y1) at x, multiplication first, in
// extended precision and not rounded.
Extended Line(Extended x, Extended x0, Extended x1, Extended y0, Extended y1) {
    return y0 + ((y1 - y0) * (x - x0)) / (x1 - x0);
}

Extended Rounded(Extended v) { return Real48ToExtended(R(v)); }

TEST(InterpolateCell, InterpolatesAlongXFirstThenAlongYRoundingEachStep) {
    // A cell where the three ways of computing differ in the last bit: each
    // step is rounded to Real48, so both the order and the rounding of the
    // two intermediate values are part of the result.
    const Real48 x = R(100.1L), y = R(50.06L);
    const float z00 = 1.5f, z10 = 1.75f, z01 = 2.1f, z11 = 2.3f;
    const Extended wx = Real48ToExtended(x), wy = Real48ToExtended(y);

    const Real48 xFirst = R(Line(wy, 50, 52, Rounded(Line(wx, 100, 110, z00, z10)),
                                 Rounded(Line(wx, 100, 110, z01, z11))));
    const Real48 yFirst = R(Line(wx, 100, 110, Rounded(Line(wy, 50, 52, z00, z01)),
                                 Rounded(Line(wy, 50, 52, z10, z11))));
    const Real48 unroundedSteps =
        R(Line(wy, 50, 52, Line(wx, 100, 110, z00, z10), Line(wx, 100, 110, z01, z11)));
    ASSERT_NE(BytesOf(xFirst), BytesOf(yFirst)) << "the sample no longer tells the orders apart";
    ASSERT_NE(BytesOf(xFirst), BytesOf(unroundedSteps)) << "the sample no longer shows the rounding";

    EXPECT_EQ(BytesOf(InterpolateBilinear(x, y, R(100), R(50), R(110), R(52), FromSingle(z00),
                                          FromSingle(z10), FromSingle(z01), FromSingle(z11))),
              BytesOf(xFirst));
}

}  // namespace
}  // namespace rudid
