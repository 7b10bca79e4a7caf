#include "tables/refined_isobar.h"

#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_shape.h"
#include "tables/saturation_by_temperature.h"
#include "tables/saturation_state.h"

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

// How a table temperature serves the phase at p: not at all (within the
// clearance of the saturation line, or of the other phase at p), from both
// isobars, or from the isobar of its phase and the saturated state of its
// own isotherm, where the other isobar has crossed the saturation line.
enum class ColumnUse { None, Isobars, Isotherm };

ColumnUse UseOf(Phase phase, Extended t, Extended tsLow, Extended tsHigh, Extended ts) {
    switch (phase) {
        case Phase::Liquid:
            if (t > ts - kSaturationClearance) return ColumnUse::None;
            return t < tsLow ? ColumnUse::Isobars : ColumnUse::Isotherm;
        case Phase::Vapour:
            if (t < ts + kSaturationClearance) return ColumnUse::None;
            return t > tsHigh ? ColumnUse::Isobars : ColumnUse::Isotherm;
        case Phase::Supercritical: return ColumnUse::Isobars;
    }
    return ColumnUse::None;
}

// A value carried to p between (pa, ya) and (pb, yb) of one phase, in the
// forms of AcrossIsobars.
Extended Carried(Extended pa, Extended pb, Extended ya, Extended yb, Extended p, int column, bool vapour) {
    const Extended w = (p - pa) / (pb - pa);
    if (vapour && column == kVolumeColumn) return (pa * ya + (pb * yb - pa * ya) * w) / p;
    Extended y = ya + (yb - ya) * w;
    if (vapour && column == kEntropyColumn) {
        const Extended la = std::log(pa), lb = std::log(pb);
        y += kWaterGasConstant * (la + (lb - la) * w - std::log(p));
    }
    return y;
}

// The values of entry j at p from the isobar of the phase and the
// saturated state at the entry's temperature (the table by temperature
// holds a record for every whole degree up to 374 degC), whose pressure
// lies between that isobar and p.
void AddIsothermNode(const TableSource &tables, const IsobarPair &pair, bool vapour, int j, Extended p,
                     PhaseNodes *nodes);

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
        if (t < tMin || t > tMax) continue;
        const ColumnUse use = UseOf(phase, t, tsLow, tsHigh, ts);
        if (use == ColumnUse::Isotherm) AddIsothermNode(tables, pair, vapour, j, place.p, nodes);
        if (use != ColumnUse::Isobars) continue;
        AddNode(nodes, t, AcrossIsobars(pair, carry, j, kVolumeColumn, vapour),
                AcrossIsobars(pair, carry, j, kEnthalpyColumn, vapour),
                AcrossIsobars(pair, carry, j, kEntropyColumn, vapour));
    }
    if (phase == Phase::Liquid && withSaturation)
        AddNode(nodes, ts, sat.field[kLiquidVolume], sat.field[kLiquidEnthalpy], sat.field[kLiquidEntropy]);
}

namespace {

void AddIsothermNode(const TableSource &tables, const IsobarPair &pair, bool vapour, int j, Extended p,
                     PhaseNodes *nodes) {
    std::uint8_t scratch[kSaturationRecordSize];
    const int record = kEntryStep * j + 1;  // record n + 1 holds n degC
    const ByteSpan span{std::uint64_t(record) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *saturated = SpanBytes(tables, Table::SaturationOnTemperatureGrid, span, scratch);
    const Extended ps = ValueAt(saturated, kSaturationLevel);
    Extended y[kEntryValues];
    for (int c = 0; c < kEntryValues; ++c) {
        const Extended ys = ValueAt(saturated, vapour ? 2 + 2 * c : 1 + 2 * c);
        y[c] = vapour ? Carried(pair.p0, ps, ValueAt(pair.low + j * kEntrySize, c), ys, p, c, true)
                      : Carried(ps, pair.p1, ys, ValueAt(pair.high + j * kEntrySize, c), p, c, false);
    }
    AddNode(nodes, Extended(kEntryStep * j), y[kVolumeColumn], y[kEnthalpyColumn], y[kEntropyColumn]);
}

}  // namespace

Extended NodeValue(const PhaseNodes &nodes, int column, Extended t, int interval) {
    if (interval < 0) interval = IntervalOf(nodes.t, nodes.count, t);
    return StencilValue(nodes.t, nodes.value[column], nodes.count, interval, t);
}

}  // namespace rudid
