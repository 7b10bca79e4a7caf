#include "tables/refined_lookup.h"

#include <algorithm>
#include <cmath>

#include "tables/refined_isobar.h"
#include "tables/single_phase_table.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

// The root in [a, b] of a polynomial less k (`shifted`: its constant term
// less k, so that no step subtracts two large values), which takes the
// values fa at a and fb at b, of opposite signs, to within `tolerance`.
//
// From the secant's root one step of Halley's method (whose error goes with
// the cube of the one before), then Newton's steps until one leaves an error
// below the tolerance: a step that small, or a step d after which the
// error, about d^2 times half the second derivative over the slope, is four
// times smaller still. Every step is kept inside the bracket, by halving
// where it would leave it. Mostly one Newton step settles it. In extended
// precision, so that the root is the same wherever the library runs.
Extended NewtonRoot(const NewtonPolynomial &shifted, Extended a, Extended b, Extended fa, Extended fb,
                    Extended tolerance) {
    const bool rising = fb > fa;  // the sign of f at b
    Extended t = a + (b - a) * (fa / (fa - fb));
    for (int step = 0; step < 60; ++step) {
        Extended f, slope, halfBend;
        NewtonValue(shifted, t, &f, &slope, &halfBend);
        if (f == 0) break;
        if ((f > 0) == rising)
            b = t;
        else
            a = t;
        Extended d = f / slope;
        bool settled = std::fabs(d) <= tolerance || 4 * std::fabs(halfBend) * d * d <= std::fabs(slope) * tolerance;
        if (step == 0 && !settled) {
            const Extended denominator = slope * slope - f * halfBend;  // Halley's
            if (denominator != 0) d = f * slope / denominator;
        }
        Extended next = t - d;
        if (!(next > a && next < b)) {
            next = a + (b - a) / 2;
            settled = std::fabs(next - t) <= tolerance;
        }
        t = next;
        if (settled || b - a <= tolerance) break;
    }
    return t;
}

// NewtonRoot for the cubic c0 + u (c1 + (u - 1)(c2 + (u - 2) c3)) in
// [m, m + 1], written out: the secant's root, one step of Halley's method
// and one of Newton's, which mostly settle it; NewtonRoot goes on from
// there where they do not. The coefficients stay out of memory.
Extended EvenRoot(Extended c0, Extended c1, Extended c2, Extended c3, int m, Extended fa, Extended fb,
                  Extended tolerance) {
    // Horner's scheme carried to the derivatives, nodes 2, 1, 0.
    const auto cubic = [&](Extended u, Extended *slope, Extended *halfBend) {
        const Extended d1 = u - 1, d2 = u - 2;
        const Extended v1 = c3 * d2 + c2;
        const Extended s1 = c3 * d1 + v1, v2 = v1 * d1 + c1;
        *halfBend = c3 * u + s1;
        *slope = s1 * u + v2;
        return v2 * u + c0;
    };
    const Extended a = m, b = m + 1;
    Extended t = a + fa / (fa - fb);
    Extended slope, halfBend;
    Extended f = cubic(t, &slope, &halfBend);
    const Extended halley = t - f * slope / (slope * slope - f * halfBend);
    if (f != 0 && halley > a && halley < b) {
        t = halley;
        f = cubic(t, &slope, &halfBend);
        const Extended d = f / slope, next = t - d;
        const bool settled =
            std::fabs(d) <= tolerance || 4 * std::fabs(halfBend) * d * d <= std::fabs(slope) * tolerance;
        if (f == 0 || (settled && next > a && next < b)) return f == 0 ? t : next;
    }
    const NewtonPolynomial shifted{kStencilNodes, {0, 1, 2, 3}, {c0, c1, c2, c3}};
    return NewtonRoot(shifted, a, b, fa, fb, tolerance);
}

// The temperature in interval m of the n nodes (xs, ys) at which their
// cubic takes the value k; ys[m] and ys[m + 1] bracket k. To within
// 1e-13 of the temperature (in kelvin-sized steps: 1 + |t|).
Extended SolveInInterval(const Extended *xs, const Extended *ys, int n, int m, bool even, Extended k) {
    const Extended fa = ys[m] - k, fb = ys[m + 1] - k;
    if (fa == 0) return xs[m];
    if (fb == 0) return xs[m + 1];
    const Extended tolerance = 1e-13L * (1 + std::fabs(xs[m + 1]));
    if (!even) {
        NewtonPolynomial shifted = NewtonForm(xs, ys, n);
        shifted.c[0] -= k;
        return NewtonRoot(shifted, xs[m], xs[m + 1], fa, fb, tolerance);
    }
    // Four nodes kEntryStep apart: in u = (t - xs[0]) / kEntryStep the nodes
    // are 0, 1, 2, 3, and the divided differences are the forward ones over
    // 1, 2 and 6.
    const Extended d1 = ys[1] - ys[0], d2 = ys[2] - ys[1], d3 = ys[3] - ys[2];
    const Extended e1 = d2 - d1, e2 = d3 - d2;
    constexpr Extended kSixth = 1.0L / 6;
    const Extended u = EvenRoot(ys[0] - k, d1, e1 / 2, (e2 - e1) * kSixth, m, fa, fb, tolerance / kEntryStep);
    return xs[0] + kEntryStep * u;
}

// The interval of the nodes whose key values bracket k: the first node
// above k ends it, as in the table lookup. -1 when k lies outside. The key
// at the interval's two ends goes to ends[0] and ends[1].
//
// Enthalpy and entropy rise with temperature along an isobar, so the
// interval is found from an estimate (the last table entry at or below k,
// EstimatedEntryAtOrBelow) and confirmed on the exact values,
// and k lies outside only where it lies outside the first or the last
// interval; a volume is searched from the start, since liquid water's does
// not rise below 4 C.
int KeyInterval(PhaseLine &line, int column, Extended k, int entryBelow, Extended *ends) {
    const int last = line.count() - 1;
    if (last < 1) return -1;
    const bool rising = column != kVolumeColumn;
    if (!rising && (k < line.value(0, column) || k > line.value(last, column))) return -1;
    int i = rising ? line.IntervalOfEntry(entryBelow) : 0;
    Extended low = line.value(i, column), high = line.value(i + 1, column);
    while (i > 0 && k < low) {
        high = low;
        low = line.value(--i, column);
    }
    while (i + 1 < last && !(k < high)) {
        low = high;
        high = line.value(++i + 1, column);
    }
    if (k < low || k > high) return -1;
    ends[0] = low;
    ends[1] = high;
    return i;
}

// The cubic of interval i at t, for a column, with its weights.
Extended ValueOnLine(PhaseLine &line, int first, int n, const double *weight, int column) {
    Extended total = 0;
    for (int m = 0; m < n; ++m) total += Extended(weight[m]) * line.value(first + m, column);
    return RoundToReal48(total);
}

// The key's interval among the table entries j, j + 1 (1 <= j <= 78, so
// that entries j - 1 .. j + 2 exist), carried to p in the forms of the
// phase, before the nodes of the phase are known: from the estimate
// entryBelow, moved until the key values at its ends, keys[1] and keys[2],
// bracket k; keys[0] and keys[3] are those of the entries beside them. -1
// where no such interval is found.
int EntryInterval(const RefinedPressure &place, bool vapour, int column, Extended k, int entryBelow,
                  Extended *keys) {
    const auto key = [&](int j) { return CarriedEntry(place.isobars, vapour, place.p, j, column); };
    constexpr int kLast = kIsobarEntries - 1;
    int j = std::max(1, std::min(entryBelow, kLast - 2));
    Extended low = key(j), high = key(j + 1);
    while (j > 1 && k < low) {
        high = low;
        low = key(--j);
    }
    while (j < kLast - 2 && !(k < high)) {
        low = high;
        high = key(++j + 1);
    }
    if (k < low || !(k < high)) return -1;
    keys[0] = key(j - 1);
    keys[1] = low;
    keys[2] = high;
    keys[3] = key(j + 2);
    return j;
}

// The temperature and the other properties wanted from the key's stencil:
// n nodes from node `first` at temperatures xs, with key values keys, k in
// interval m of them; the weights of the other properties from the line.
void SolveStencil(PhaseLine &line, const KeyVariant &c, Extended k, int first, int n, int m, const Extended *xs,
                  const Extended *keys, unsigned wanted, InverseValues *state) {
    const Extended t = SolveInInterval(xs, keys, n, m, line.Even(first, n), k);
    state->temperature = RoundToReal48(t);
    if (wanted & (kWantSecond | kWantThird)) {
        double weight[kStencilNodes];
        int start;
        line.Weights(first + m, t, &start, weight);
        if (wanted & kWantSecond) state->second = ValueOnLine(line, first, n, weight, c.secondColumn);
        if (wanted & kWantThird) state->third = ValueOnLine(line, first, n, weight, c.thirdColumn);
    }
}

// Where the key's interval and its cubic's four nodes are table entries
// carried between the isobars, the nodes of the phase give the same
// interval and the same cubic, so the search among the entries, which needs
// the isobars only, runs while the saturated state is still being worked
// out; elsewhere the search runs over the nodes of the phase.
bool SinglePhaseInverse(const RefinedTables &tables, RefinedPressure &place, Phase phase, const KeyVariant &c,
                        Extended k, int entryBelow, Extended quality, unsigned wanted, InverseValues *state) {
    Extended xs[kStencilNodes], keys[kStencilNodes];
    const int j = c.keyColumn == kVolumeColumn ? -1
                                         : EntryInterval(place, phase == Phase::Vapour, c.keyColumn, k, entryBelow, keys);
    PhaseLine line(tables, place, phase);
    if (j >= 0 && line.FromIsobars(j - 1, j + 2)) {
        for (int m = 0; m < kStencilNodes; ++m) xs[m] = Extended(kEntryStep * (j - 1 + m));
        SolveStencil(line, c, k, line.IntervalOfEntry(j) - 1, kStencilNodes, 1, xs, keys, wanted, state);
        state->quality = quality;
        return true;
    }
    Extended ends[2];
    const int i = KeyInterval(line, c.keyColumn, k, entryBelow, ends);
    if (i < 0) return false;
    // The key at the nodes of the interval's cubic.
    const int first = StencilStart(i, line.count()), n = StencilCount(line.count());
    for (int m = 0; m < n; ++m) {
        const int node = first + m;
        xs[m] = line.temperature(node);
        keys[m] = node == i ? ends[0] : node == i + 1 ? ends[1] : line.value(node, c.keyColumn);
    }
    SolveStencil(line, c, k, first, n, i - first, xs, keys, wanted, state);
    state->quality = quality;
    return true;
}

}  // namespace

bool RefinedLookupPT(const RefinedTables &tables, Extended p, Extended t, unsigned wanted,
                     SinglePhaseValues *state) {
    RefinedPressure place;
    PlacePressure(tables, p, &place);
    Phase phase = Phase::Supercritical;
    if (place.subcritical) {
        const Extended ts = place.saturation.field(kSaturationLevel);
        if (std::fabs(ts - t) < kSaturationBand) return false;
        phase = t < ts ? Phase::Liquid : Phase::Vapour;
    }
    state->side = phase == Phase::Liquid   ? LineSide::Liquid
                  : phase == Phase::Vapour ? LineSide::Vapour
                                           : LineSide::AboveCritical;
    PhaseLine line(tables, place, phase);
    double weight[kStencilNodes];
    int first;
    const int n = line.Weights(line.IntervalAt(t), t, &first, weight);
    if (wanted & kWantVolume) state->volume = ValueOnLine(line, first, n, weight, kVolumeColumn);
    if (wanted & kWantEnthalpy) state->enthalpy = ValueOnLine(line, first, n, weight, kEnthalpyColumn);
    if (wanted & kWantEntropy) state->entropy = ValueOnLine(line, first, n, weight, kEntropyColumn);
    return true;
}

bool RefinedLookupInverse(const RefinedTables &tables, InverseKey key, Extended p, Extended k, unsigned wanted,
                          InverseValues *state) {
    const KeyVariant &c = VariantOf(key);
    RefinedPressure place;
    PlaceIsobars(tables, p, &place);
    const int below = c.keyColumn == kVolumeColumn ? 0 : EstimatedEntryAtOrBelow(place.isobars, c.keyColumn, k);
    PlaceSaturation(tables, &place);
    if (!place.subcritical) {
        // Vapour-like beyond the key of the critical point that the tables
        // hold (the table lookup compares with fixed decimals instead).
        const CriticalPoint &point = tables.memory.Critical(tables.source);
        const Extended critical = c.keyColumn == kVolumeColumn     ? point.volume
                                  : c.keyColumn == kEnthalpyColumn ? point.enthalpy
                                                             : point.entropy;
        const bool vapourLike = key == InverseKey::Volume ? k >= critical : k > critical;
        return SinglePhaseInverse(tables, place, Phase::Supercritical, c, k, below, vapourLike ? 1 : 0, wanted,
                                  state);
    }
    RefinedSaturation &sat = place.saturation;
    if (sat.Beyond(c.keyLiquid, 1, k))  // k < kf
        return SinglePhaseInverse(tables, place, Phase::Liquid, c, k, below, 0, wanted, state);
    if (sat.Beyond(c.keyVapour, -1, k))  // k > kg
        return SinglePhaseInverse(tables, place, Phase::Vapour, c, k, below, 1, wanted, state);
    const Extended kf = sat.field(c.keyLiquid), kg = sat.field(c.keyVapour);

    // Two phases: the lever rule between the saturated states.
    const Extended x = kg > kf ? RoundToReal48((k - kf) / (kg - kf)) : 0;
    const auto mix = [&](int column) {
        return RoundToReal48(x * sat.field(LiquidFieldOf(column) + 1) + (1 - x) * sat.field(LiquidFieldOf(column)));
    };
    state->temperature = sat.field(kSaturationLevel);
    if (wanted & kWantSecond) state->second = mix(c.secondColumn);
    if (wanted & kWantThird) state->third = mix(c.thirdColumn);
    state->quality = x;
    return true;
}

}  // namespace rudid
