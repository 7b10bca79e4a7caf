// The interpolation of the refined answers: polynomials through a few
// neighbouring table values, on scales along which the properties bend
// little (bench/refined_forms.py measures each choice against IAPWS-IF97).
// Pure functions of their arguments, in extended precision.
#pragma once

#include <cmath>

#include "common/constants.h"

namespace rudid {

// Steam's volume follows R T / p and its entropy falls by R ln p across
// isobars (R: kWaterGasConstant), so p v and s + R ln p are nearly linear
// in pressure.

// At most this many nodes take part in one interpolation (a cubic).
constexpr int kStencilNodes = 4;

// The weights of the values at xs[i], i < count (1 to kStencilNodes), in
// the polynomial through them at x (Lagrange's form): the value at x is
// the sum of weight[i] * ys[i]. One division per weight.
inline void LagrangeWeights(const Extended *xs, int count, Extended x, Extended *weight) {
    for (int i = 0; i < count; ++i) {
        Extended numerator = 1, denominator = 1;
        for (int j = 0; j < count; ++j)
            if (j != i) {
                numerator *= x - xs[j];
                denominator *= xs[i] - xs[j];
            }
        weight[i] = numerator / denominator;
    }
}

// LagrangeWeights for four nodes whose denominators are known: scale[i] is
// 1 / prod over j != i of (xs[i] - xs[j]). Multiplications only.
inline void ScaledWeights(const Extended *xs, const Extended *scale, Extended x, Extended *weight) {
    const Extended d0 = x - xs[0], d1 = x - xs[1], d2 = x - xs[2], d3 = x - xs[3];
    const Extended low = d0 * d1, high = d2 * d3;
    weight[0] = d1 * high * scale[0];
    weight[1] = d0 * high * scale[1];
    weight[2] = low * d3 * scale[2];
    weight[3] = low * d2 * scale[3];
}

// LagrangeWeights for four nodes `step` apart, at the distance dx from the
// first: with u = dx / step the weights are -(u-1)(u-2)(u-3)/6,
// u(u-2)(u-3)/2, -u(u-1)(u-3)/2 and u(u-1)(u-2)/6. Exact 0 and 1 at a node,
// as the general form.
inline void EvenWeights(Extended dx, Extended step, Extended *weight) {
    const Extended u = dx / step;
    const Extended u1 = u - 1, u2 = u - 2, u3 = u - 3;
    const Extended a = u * u1, b = u2 * u3;
    weight[0] = -(u1 * b) / 6;
    weight[1] = u * b / 2;
    weight[2] = -(a * u3) / 2;
    weight[3] = a * u2 / 6;
}

// A double as it is kept in memory. On an x87 unit (the 32-bit builds) a
// double result can carry extended precision until it is stored; storing it
// gives the bits the same result has where doubles are computed in their
// own format.
inline double StoredDouble(double x) {
    volatile double stored = x;
    return stored;
}

// The first of the nodes that interpolate in interval i of count nodes:
// one below the interval and two above where there are, so that the
// interval lies in the middle of the cubic; clamped to the nodes there are.
inline int StencilStart(int interval, int count) {
    const int n = count < kStencilNodes ? count : kStencilNodes;
    int first = interval - (n - 1) / 2;
    if (first > count - n) first = count - n;
    return first < 0 ? 0 : first;
}

inline int StencilCount(int count) { return count < kStencilNodes ? count : kStencilNodes; }

// A polynomial through up to four nodes in Newton's form, for evaluating
// it with its slope many times over:
// p(x) = c0 + (x - x0) (c1 + (x - x1) (c2 + (x - x2) c3)).
struct NewtonPolynomial {
    int count;
    Extended x[kStencilNodes];
    Extended c[kStencilNodes];
};

inline NewtonPolynomial NewtonForm(const Extended *xs, const Extended *ys, int count) {
    NewtonPolynomial poly{count, {}, {}};
    Extended d[kStencilNodes] = {};
    for (int i = 0; i < count; ++i) poly.x[i] = xs[i], d[i] = ys[i];
    // Divided differences, in place: after round j, d[i] is f[x(i-j) .. x(i)].
    poly.c[0] = d[0];
    for (int j = 1; j < count; ++j) {
        for (int i = count - 1; i >= j; --i) d[i] = (d[i] - d[i - 1]) / (xs[i] - xs[i - j]);
        poly.c[j] = d[j];
    }
    return poly;
}

// The value, the slope and half the second derivative of the polynomial at
// x (Horner's scheme carried to the derivatives).
inline void NewtonValue(const NewtonPolynomial &poly, Extended x, Extended *value, Extended *slope,
                        Extended *halfBend) {
    Extended v = poly.c[poly.count - 1], s = 0, b = 0;
    for (int i = poly.count - 2; i >= 0; --i) {
        const Extended d = x - poly.x[i];
        b = b * d + s;
        s = s * d + v;
        v = v * d + poly.c[i];
    }
    *value = v;
    *slope = s;
    *halfBend = b;
}

}  // namespace rudid
