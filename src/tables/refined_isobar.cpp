#include "tables/refined_isobar.h"

#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_shape.h"
#include "tables/saturation_by_temperature.h"

namespace rudid {

namespace {

// The two isobars of the single-phase table around a pressure.
struct IsobarPair {
    Extended p0, p1;
    const std::uint8_t *low, *high;  // 81 entries each
    std::uint8_t scratch[2 * kIsobarSize];
};

void ReadIsobars(const TableSource &tables, Extended p, IsobarPair *pair) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(p);
    pair->p0 = grid.point[k - 1];
    pair->p1 = grid.point[k];
    const ByteSpan span{std::uint64_t(k - 2) * kIsobarSize, 2 * kIsobarSize};
    pair->low = SpanBytes(tables, Table::SinglePhase, span, pair->scratch);
    pair->high = pair->low + kIsobarSize;
}

// How values are carried from the two isobars to p: linear in pressure,
// steam's volume as p v and its entropy as s + R ln p.
struct Carry {
    Extended w;            // weight of the upper isobar
    Extended p0, p1, p;    // p v at both isobars, divided by p
    Extended entropyShift; // R (ln p0 + (ln p1 - ln p0) w - ln p)
};

Carry CarryTo(const IsobarPair &pair, Extended p, bool vapour) {
    Carry carry{(p - pair.p0) / (pair.p1 - pair.p0), pair.p0, pair.p1, p, 0};
    if (vapour) {
        const Extended l0 = std::log(pair.p0), l1 = std::log(pair.p1);
        carry.entropyShift = kWaterGasConstant * (l0 + (l1 - l0) * carry.w - std::log(p));
    }
    return carry;
}

Extended AcrossIsobars(const IsobarPair &pair, const Carry &carry, int entry, int column, bool vapour) {
    const Extended y0 = ValueAt(pair.low + entry * kEntrySize, column);
    const Extended y1 = ValueAt(pair.high + entry * kEntrySize, column);
    if (vapour && column == kVolumeColumn) {
        const Extended a = carry.p0 * y0, b = carry.p1 * y1;
        return (a + (b - a) * carry.w) / carry.p;
    }
    const Extended y = y0 + (y1 - y0) * carry.w;
    return vapour && column == kEntropyColumn ? y + carry.entropyShift : y;
}

// Whether table temperature t belongs to the phase on both isobars and
// stands clear of the saturation line at p.
bool InPhase(Phase phase, Extended t, Extended tsLow, Extended tsHigh, Extended ts) {
    switch (phase) {
        case Phase::Liquid: return t < tsLow && t <= ts - kSaturationClearance;
        case Phase::Vapour: return t > tsHigh && t >= ts + kSaturationClearance;
        case Phase::Supercritical: return true;
    }
    return false;
}

void AddNode(PhaseNodes *nodes, Extended t, Extended v, Extended h, Extended s) {
    const int i = nodes->count++;
    nodes->t[i] = t;
    nodes->value[kVolumeColumn][i] = v;
    nodes->value[kEnthalpyColumn][i] = h;
    nodes->value[kEntropyColumn][i] = s;
}

}  // namespace

RefinedPressure PlacePressure(const TableSource &tables, Extended p) {
    RefinedPressure place{};
    place.p = p;
    place.subcritical = p <= kCriticalPressure;
    if (place.subcritical) place.saturation = RefinedSaturationAtPressure(tables, p);
    return place;
}

void BuildPhaseNodes(const TableSource &tables, const RefinedPressure &place, Phase phase, Extended tMin,
                     Extended tMax, PhaseNodes *nodes) {
    IsobarPair pair;
    ReadIsobars(tables, place.p, &pair);
    const SaturationValues &sat = place.saturation;
    Extended ts = 0, tsLow = 0, tsHigh = 0;
    if (phase != Phase::Supercritical) {
        ts = sat.field[kSaturationLevel];
        tsLow = RefinedSaturationTemperature(tables, pair.p0);
        tsHigh = pair.p1 <= kCriticalPressure ? RefinedSaturationTemperature(tables, pair.p1)
                                              : Real48ToExtended(kLastRecordTemperature);
    }
    nodes->count = 0;
    // The saturated state only where it lies within the range asked for, so
    // that it never stands in for a table temperature outside the range.
    const bool withSaturation = phase != Phase::Supercritical && tMin <= ts && ts <= tMax;
    if (phase == Phase::Vapour && withSaturation)
        AddNode(nodes, ts, sat.field[kVapourVolume], sat.field[kVapourEnthalpy], sat.field[kVapourEntropy]);
    const bool vapour = phase == Phase::Vapour;
    const Carry carry = CarryTo(pair, place.p, vapour);
    for (int j = 0; j < kIsobarEntries; ++j) {
        const Extended t = Extended(kEntryStep * j);
        if (t < tMin || t > tMax || !InPhase(phase, t, tsLow, tsHigh, ts)) continue;
        AddNode(nodes, t, AcrossIsobars(pair, carry, j, kVolumeColumn, vapour),
                AcrossIsobars(pair, carry, j, kEnthalpyColumn, vapour),
                AcrossIsobars(pair, carry, j, kEntropyColumn, vapour));
    }
    if (phase == Phase::Liquid && withSaturation)
        AddNode(nodes, ts, sat.field[kLiquidVolume], sat.field[kLiquidEnthalpy], sat.field[kLiquidEntropy]);
}

Extended NodeValue(const PhaseNodes &nodes, int column, Extended t, int interval) {
    if (interval < 0) interval = IntervalOf(nodes.t, nodes.count, t);
    return StencilValue(nodes.t, nodes.value[column], nodes.count, interval, t);
}

}  // namespace rudid
