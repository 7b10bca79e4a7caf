// The elementary functions the formulations need (exponential, logarithm,
// real powers, arctangent), written out in double precision from additions,
// multiplications, divisions and exact scalings only. The C library's
// versions of these differ in their last bits between glibc and mingw-w64;
// these give the same bits on Linux and in both DLLs (built for SSE2, see
// the build), and are accurate to a few units in the last place, far below
// what the formulations themselves promise.
#pragma once

namespace rudid::formulation {

// The formulations are evaluated in double precision.
using Real = double;

// x to an integer power, by repeated squaring (x^0 is 1).
Real IntegerPower(Real x, int n);

// x^k for every k from low to high (low <= 0 <= high) into powers[k -
// low], by one multiplication a power up from x^0 and down from 1/x: the
// sums of the formulations take many powers of the same few values. x may
// be 0 only when low is 0.
void PowerTable(Real x, int low, int high, Real *powers);

// e^x; 0 below about -745 and +inf above about 709.8.
Real Exponential(Real x);

// The natural logarithm of x > 0 (NaN for x <= 0).
Real Logarithm(Real x);

// x^y for x > 0, as e^(y ln x).
Real RealPower(Real x, Real y);

// The arctangent, in radians.
Real Arctangent(Real x);

constexpr Real kPi = 3.14159265358979323846;

}  // namespace rudid::formulation
