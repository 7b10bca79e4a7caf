// The lookups' interpolation on Real48 arguments, giving the Real48 that
// the widened result stands for: how the tests state expected values.
#pragma once

#include "common/interpolation.h"

namespace rudid::testing {

inline Real48 InterpolateLinear(Real48 x, Real48 x0, Real48 x1, Real48 y0, Real48 y1) {
    auto w = Real48ToExtended;
    return ExtendedToReal48(Interpolate(w(x), w(x0), w(x1), w(y0), w(y1)));
}

inline Real48 InterpolateBilinear(Real48 x, Real48 y, Real48 x0, Real48 y0, Real48 x1, Real48 y1, Real48 z00,
                                  Real48 z10, Real48 z01, Real48 z11) {
    auto w = Real48ToExtended;
    return ExtendedToReal48(InterpolateCell(w(x), w(y), w(x0), w(y0), w(x1), w(y1), w(z00), w(z10), w(z01), w(z11)));
}

}  // namespace rudid::testing
