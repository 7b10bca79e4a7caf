#include "common/interpolation.h"

#include "common/failure.h"

namespace rudid {

Real48 InterpolateBilinear(Real48 x, Real48 y, Real48 x0, Real48 y0, Real48 x1, Real48 y1,
                           Real48 z00, Real48 z10, Real48 z01, Real48 z11) {
    auto w = Real48ToExtended;
    return ExtendedToReal48(InterpolateCell(w(x), w(y), w(x0), w(y0), w(x1), w(y1), w(z00), w(z10), w(z01), w(z11)));
}

}  // namespace rudid
