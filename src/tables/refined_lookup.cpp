#include "tables/refined_lookup.h"

#include <cmath>

#include "tables/refined_isobar.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// The saturation fields of a column of the single-phase table: v, h, s
// are fields 1 + 2c (liquid) and 2 + 2c (vapour).
int LiquidField(int column) { return 1 + 2 * column; }
int VapourField(int column) { return 2 + 2 * column; }

// The columns of the key and of the two outputs beside it (InverseValues
// order).
struct KeyColumns {
    int key, second, third;
};

KeyColumns ColumnsOf(InverseKey key) {
    switch (key) {
        case InverseKey::Enthalpy: return {kEnthalpyColumn, kVolumeColumn, kEntropyColumn};
        case InverseKey::Entropy: return {kEntropyColumn, kVolumeColumn, kEnthalpyColumn};
        case InverseKey::Volume: break;
    }
    return {kVolumeColumn, kEnthalpyColumn, kEntropyColumn};
}

// The temperature in interval i of the nodes at which the key column's
// cubic (the one that interpolates that interval) takes the value k; the
// key's values at the interval's ends bracket k. Newton's method on the
// cubic, kept inside the bracket by halving where a step would leave it.
Extended SolveInInterval(const PhaseNodes &nodes, int column, int i, Extended k) {
    Extended a = nodes.t[i], b = nodes.t[i + 1];
    const Extended fa = nodes.value[column][i] - k, fb = nodes.value[column][i + 1] - k;
    if (fa == 0) return a;
    if (fb == 0) return b;
    const int first = StencilStart(i, nodes.count);
    const NewtonPolynomial cubic =
        NewtonForm(nodes.t + first, nodes.value[column] + first, StencilCount(nodes.count));
    const bool rising = fb > fa;  // the sign of f at b
    Extended t = a + (b - a) * (fa / (fa - fb));
    for (int step = 0; step < 60; ++step) {
        Extended f, slope;
        NewtonValue(cubic, t, &f, &slope);
        f -= k;
        if (f == 0) return t;
        if ((f > 0) == rising)
            b = t;
        else
            a = t;
        Extended next = t - f / slope;
        if (!(next > a && next < b)) next = a + (b - a) / 2;
        const bool settled = std::fabs(next - t) <= 1e-13L * (1 + std::fabs(t));
        t = next;
        if (settled || b - a <= 1e-13L * (1 + std::fabs(a))) break;
    }
    return t;
}

// The interval of the nodes whose key values bracket k: the first node
// above k ends it, as in the table lookup. -1 when k lies outside.
//
// The key is filled at the nodes it is read at only. Enthalpy and entropy
// rise with temperature along an isobar, so halving finds the same interval
// as the search from the start; a volume is searched from the start, since
// liquid water's does not rise below 4 C.
int KeyInterval(PhaseNodes *nodes, int column, Extended k) {
    const auto key = [&](int i) {
        FillColumn(nodes, column, i, 1);
        return nodes->value[column][i];
    };
    const int last = nodes->count - 1;
    if (last < 1 || k < key(0) || k > key(last)) return -1;
    if (column == kVolumeColumn) {
        for (int i = 1; i <= last; ++i)
            if (k < key(i)) return i - 1;
        return last - 1;
    }
    int low = 0, high = last;  // key(low) <= k; k < key(high) or high is the last node
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        if (k < key(middle))
            high = middle;
        else
            low = middle;
    }
    return low;
}

bool SinglePhaseInverse(const TableSource &tables, RefinedPressure &place, Phase phase, const KeyColumns &c,
                        Extended k, Extended quality, InverseValues *state) {
    PhaseNodes nodes;
    BuildPhaseNodes(tables, place, phase, 0, kEntryStep * (kIsobarEntries - 1), 0, &nodes);
    const int i = KeyInterval(&nodes, c.key, k);
    if (i < 0) return false;
    // The three properties at the nodes of the interval's cubic only.
    const int first = StencilStart(i, nodes.count), count = StencilCount(nodes.count);
    FillColumn(&nodes, c.key, first, count);
    FillColumn(&nodes, c.second, first, count);
    FillColumn(&nodes, c.third, first, count);
    const Extended t = SolveInInterval(nodes, c.key, i, k);
    state->temperature = RoundToReal48(t);
    state->second = RoundToReal48(NodeValue(nodes, c.second, t, i));
    state->third = RoundToReal48(NodeValue(nodes, c.third, t, i));
    state->quality = quality;
    return true;
}

}  // namespace

bool RefinedLookupPT(const TableSource &tables, Extended p, Extended t, unsigned wanted, SinglePhaseValues *state) {
    RefinedPressure place = PlacePressure(tables, p);
    Phase phase = Phase::Supercritical;
    if (place.subcritical) {
        const Extended ts = place.saturation.field(kSaturationLevel);
        if (std::fabs(ts - t) < 0.001L) return false;
        phase = t < ts ? Phase::Liquid : Phase::Vapour;
    }
    // The mask of LookupPT (kWantVolume, kWantEnthalpy, kWantEntropy) in
    // the order of the table's columns.
    const unsigned columns = (wanted & kWantVolume ? 1u << kVolumeColumn : 0) |
                             (wanted & kWantEnthalpy ? 1u << kEnthalpyColumn : 0) |
                             (wanted & kWantEntropy ? 1u << kEntropyColumn : 0);
    PhaseNodes nodes;
    BuildPhaseNodes(tables, place, phase, t - kStencilReach, t + kStencilReach, columns, &nodes);
    if (wanted & kWantVolume) state->volume = RoundToReal48(NodeValue(nodes, kVolumeColumn, t));
    if (wanted & kWantEnthalpy) state->enthalpy = RoundToReal48(NodeValue(nodes, kEnthalpyColumn, t));
    if (wanted & kWantEntropy) state->entropy = RoundToReal48(NodeValue(nodes, kEntropyColumn, t));
    return true;
}

bool RefinedLookupInverse(const TableSource &tables, InverseKey key, Extended p, Extended k,
                          InverseValues *state) {
    const KeyColumns c = ColumnsOf(key);
    RefinedPressure place = PlacePressure(tables, p);
    if (!place.subcritical) {
        // Vapour-like beyond the key of the critical point that the tables
        // hold (the table lookup compares with fixed decimals instead).
        const CriticalPoint point = TableCriticalPoint(tables);
        const Extended critical = c.key == kVolumeColumn     ? point.volume
                                  : c.key == kEnthalpyColumn ? point.enthalpy
                                                             : point.entropy;
        const bool vapourLike = key == InverseKey::Volume ? k >= critical : k > critical;
        return SinglePhaseInverse(tables, place, Phase::Supercritical, c, k, vapourLike ? 1 : 0, state);
    }
    RefinedSaturation &sat = place.saturation;
    const Extended kf = sat.field(LiquidField(c.key)), kg = sat.field(VapourField(c.key));
    if (k < kf) return SinglePhaseInverse(tables, place, Phase::Liquid, c, k, 0, state);
    if (k > kg) return SinglePhaseInverse(tables, place, Phase::Vapour, c, k, 1, state);

    // Two phases: the lever rule between the saturated states.
    const Extended x = kg > kf ? RoundToReal48((k - kf) / (kg - kf)) : 0;
    const auto mix = [&](int column) {
        return RoundToReal48(x * sat.field(VapourField(column)) + (1 - x) * sat.field(LiquidField(column)));
    };
    state->temperature = sat.field(kSaturationLevel);
    state->second = mix(c.second);
    state->third = mix(c.third);
    state->quality = x;
    return true;
}

}  // namespace rudid
