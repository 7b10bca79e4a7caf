#include "tables/interpolation.h"

#include "tables/failure.h"

namespace rudid {

Real48 InterpolateLinear(Real48 x, Real48 x0, Real48 x1, Real48 y0, Real48 y1) {
    const Extended lowX = Real48ToExtended(x0);
    const Extended d = Real48ToExtended(x) - lowX;
    const Extended lowY = Real48ToExtended(y0);
    const Extended n = (Real48ToExtended(y1) - lowY) * d;
    const Extended width = Real48ToExtended(x1) - lowX;
    // The arithmetic runs with every exception masked, so a zero width is
    // caught here rather than by a trap.
    if (width == 0) RaiseFailure(n == 0 ? kInvalidFloatingPointOperation : kDivisionByZero);
    const Extended q = n / width;
    return ExtendedToReal48(lowY + q);
}

Real48 InterpolateBilinear(Real48 x, Real48 y, Real48 x0, Real48 y0, Real48 x1, Real48 y1,
                           Real48 z00, Real48 z10, Real48 z01, Real48 z11) {
    const Real48 a = InterpolateLinear(x, x0, x1, z00, z10);
    const Real48 b = InterpolateLinear(x, x0, x1, z01, z11);
    return InterpolateLinear(y, y0, y1, a, b);
}

}  // namespace rudid
