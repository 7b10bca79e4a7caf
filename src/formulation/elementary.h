// The elementary functions the formulations need (exponential, logarithm,
// real powers, arctangent), written out in the x87 extended format from
// additions, multiplications, divisions and exact scalings only. The
// C library's versions of these differ in their last bits between glibc and
// mingw-w64; these give the same bits on Linux and in both DLLs, and are
// accurate to a few units in the last place of a double, far below what
// the formulations themselves promise.
#pragma once

#include "common/real48.h"

namespace rudid::formulation {

// x to an integer power, by repeated squaring (x^0 is 1).
Extended IntegerPower(Extended x, int n);

// x^k for every k from low to high (low <= 0 <= high) into powers[k -
// low], by one multiplication a power up from x^0 and down from 1/x: the
// sums of the formulations take many powers of the same few values. x may
// be 0 only when low is 0.
void PowerTable(Extended x, int low, int high, Extended *powers);

// e^x; 0 below about -11000 and +inf above about 11000.
Extended Exponential(Extended x);

// The natural logarithm of x > 0 (NaN for x <= 0).
Extended Logarithm(Extended x);

// x^y for x > 0, as e^(y ln x).
Extended RealPower(Extended x, Extended y);

// The arctangent, in radians.
Extended Arctangent(Extended x);

constexpr Extended kPi = 3.14159265358979323846264338327950288L;

}  // namespace rudid::formulation
