#include "tables/interpolation.h"

#include "tables/failure.h"

namespace rudid {

Real48 InterpolateBilinear(Real48 x, Real48 y, Real48 x0, Real48 y0, Real48 x1, Real48 y1,
                           Real48 z00, Real48 z10, Real48 z01, Real48 z11) {
    const Real48 a = InterpolateLinear(x, x0, x1, z00, z10);
    const Real48 b = InterpolateLinear(x, x0, x1, z01, z11);
    return InterpolateLinear(y, y0, y1, a, b);
}

}  // namespace rudid
