// The interpolation primitives of every table lookup. Each result is rounded
// to a Real48 before it is returned; that rounding is part of the answer and
// is never skipped.
#pragma once

#include "common/failure.h"
#include "common/real48.h"

namespace rudid {

// The value at x on the line through (x0, y0) and (x1, y1), all widened
// Real48 values, computed as y0 + ((y1 - y0) * (x - x0)) / (x1 - x0) in
// extended precision, the multiplication before the division, and rounded
// to Real48 (the widened result). A point outside [x0, x1] is extrapolated.
// Equal abscissae raise "Division by zero" (or "Invalid floating point
// operation" when the numerator is zero too).
[[gnu::always_inline]] inline Extended Interpolate(Extended x, Extended x0, Extended x1, Extended y0, Extended y1) {
    const Extended d = x - x0;
    const Extended n = (y1 - y0) * d;
    const Extended width = x1 - x0;
    // The arithmetic runs with every exception masked, so a zero width is
    // caught here rather than by a trap.
    if (width == 0) RaiseFailure(n == 0 ? kInvalidFloatingPointOperation : kDivisionByZero);
    const Extended q = n / width;
    return RoundToReal48(y0 + q);
}

// Bilinear interpolation on the cell (x0, y0)-(x1, y1) with corner values
// z00 at (x0, y0), z10 at (x1, y0), z01 at (x0, y1) and z11 at (x1, y1):
// along x at y0, along x at y1, then along y, each step rounded to Real48.
// The lookups pass temperature as x and pressure as y. Always inline: ten
// extended arguments would cross a call through memory.
[[gnu::always_inline]] inline Extended InterpolateCell(Extended x, Extended y, Extended x0, Extended y0, Extended x1, Extended y1,
                                Extended z00, Extended z10, Extended z01, Extended z11) {
    const Extended a = Interpolate(x, x0, x1, z00, z10);
    const Extended b = Interpolate(x, x0, x1, z01, z11);
    return Interpolate(y, y0, y1, a, b);
}

}  // namespace rudid
