#include "tables/refined_isobar.h"

#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_logarithms.h"
#include "tables/refined_shape.h"
#include "tables/saturation_by_temperature.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

// Reads the two isobars around p and the weights that carry their values
// to p: linear in pressure, steam's volume as p v and its entropy as
// s + R ln p (logShift = R (ln p0 + (ln p1 - ln p0) w - ln p)).
void ReadIsobars(const TableSource &tables, Extended p, bool vapour, PhaseNodes *nodes) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(p);
    nodes->p = p;
    nodes->p0 = grid.point[k - 1];
    nodes->p1 = grid.point[k];
    nodes->w = (p - nodes->p0) / (nodes->p1 - nodes->p0);
    nodes->vapour = vapour;
    nodes->logShift = 0;
    if (vapour) {
        const GridLogarithms &logs = PressureGridLogarithms();
        const Extended l0 = logs.singlePhase[k - 1], l1 = logs.singlePhase[k];
        nodes->logShift = kWaterGasConstant * (l0 + (l1 - l0) * nodes->w - std::log(p));
    }
    const ByteSpan span{std::uint64_t(k - 2) * kIsobarSize, 2 * kIsobarSize};
    nodes->low = SpanBytes(tables, Table::SinglePhase, span, nodes->scratch);
    nodes->high = nodes->low + kIsobarSize;
}

// A value carried to p between (pa, ya) and (pb, yb) of one phase, in the
// forms of ReadIsobars.
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

Extended NodeColumn(const PhaseNodes &nodes, int i, int column) {
    switch (nodes.source[i]) {
        case NodeSource::Saturation: return nodes.saturated[column];
        case NodeSource::Isotherm: {
            const int j = nodes.entry[i];
            const Extended ps = nodes.isothermPressure[i], ys = nodes.isothermValue[i][column];
            return nodes.vapour ? Carried(nodes.p0, ps, ValueAt(nodes.low + j * kEntrySize, column), ys, nodes.p,
                                          column, true)
                                : Carried(ps, nodes.p1, ys, ValueAt(nodes.high + j * kEntrySize, column), nodes.p,
                                          column, false);
        }
        case NodeSource::Isobars: break;
    }
    const int j = nodes.entry[i];
    const Extended y0 = ValueAt(nodes.low + j * kEntrySize, column);
    const Extended y1 = ValueAt(nodes.high + j * kEntrySize, column);
    if (nodes.vapour && column == kVolumeColumn) {
        const Extended a = nodes.p0 * y0, b = nodes.p1 * y1;
        return (a + (b - a) * nodes.w) / nodes.p;
    }
    const Extended y = y0 + (y1 - y0) * nodes.w;
    return nodes.vapour && column == kEntropyColumn ? y + nodes.logShift : y;
}

// How entry j serves the phase at p. A node of the table is liquid when
// its volume lies below the critical volume and vapour otherwise: the
// table holds the stable phase at every node. Only entries within
// kIsothermReach of the saturation temperature need the test: between two
// neighbouring isobars of the grid the saturation temperature rises by at
// most 10.5 C (from 0.01 to 0.02 bar).
constexpr Extended kIsothermReach = 15;
NodeSource SourceOf(const PhaseNodes &nodes, Phase phase, int j, Extended ts, Extended criticalVolume) {
    const Extended t = Extended(kEntryStep * j);
    switch (phase) {
        case Phase::Liquid:
            if (t > ts - kSaturationClearance) return NodeSource::Saturation;  // left out
            if (t < ts - kIsothermReach) return NodeSource::Isobars;
            return ValueAt(nodes.low + j * kEntrySize, kVolumeColumn) < criticalVolume ? NodeSource::Isobars
                                                                                       : NodeSource::Isotherm;
        case Phase::Vapour:
            if (t < ts + kSaturationClearance) return NodeSource::Saturation;  // left out
            if (t > ts + kIsothermReach) return NodeSource::Isobars;
            // Above the critical temperature (374.15 degC) there is no
            // isotherm to cross.
            if (j * kEntryStep > 374) return NodeSource::Isobars;
            return ValueAt(nodes.high + j * kEntrySize, kVolumeColumn) >= criticalVolume ? NodeSource::Isobars
                                                                                         : NodeSource::Isotherm;
        case Phase::Supercritical: return NodeSource::Isobars;
    }
    return NodeSource::Saturation;
}

void AddNode(PhaseNodes *nodes, Extended t, NodeSource source, int entry) {
    const int i = nodes->count++;
    nodes->t[i] = t;
    nodes->source[i] = source;
    nodes->entry[i] = std::uint8_t(entry);
}

// The saturated state of entry j's isotherm (the table by temperature holds
// a record for every whole degree up to 374 degC): its pressure lies
// between the isobar of the phase and p.
void ReadIsotherm(const TableSource &tables, int j, PhaseNodes *nodes) {
    std::uint8_t scratch[kSaturationRecordSize];
    const int record = kEntryStep * j + 1;  // record n + 1 holds n degC
    const ByteSpan span{std::uint64_t(record) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *saturated = SpanBytes(tables, Table::SaturationOnTemperatureGrid, span, scratch);
    const int i = nodes->count - 1;
    nodes->isothermPressure[i] = ValueAt(saturated, kSaturationLevel);
    for (int c = 0; c < kEntryValues; ++c)
        nodes->isothermValue[i][c] = ValueAt(saturated, nodes->vapour ? 2 + 2 * c : 1 + 2 * c);
}

}  // namespace

RefinedPressure PlacePressure(const TableSource &tables, Extended p) {
    RefinedPressure place{};
    place.p = p;
    place.subcritical = p <= kCriticalPressure;
    if (place.subcritical) place.saturation = RefinedSaturationAtPressure(tables, p);
    return place;
}

void BuildPhaseNodes(const TableSource &tables, RefinedPressure &place, Phase phase, Extended tMin, Extended tMax,
                     unsigned columns, PhaseNodes *nodes) {
    ReadIsobars(tables, place.p, phase == Phase::Vapour, nodes);
    nodes->count = 0;
    Extended ts = 0, criticalVolume = 0;
    bool withSaturation = false;
    if (phase != Phase::Supercritical) {
        RefinedSaturation &sat = place.saturation;
        ts = sat.field(kSaturationLevel);
        const int first = phase == Phase::Vapour ? kVapourVolume : kLiquidVolume;
        for (int c = 0; c < kEntryValues; ++c) nodes->saturated[c] = sat.field(first + 2 * c);
        criticalVolume = TableCriticalPoint(tables).volume;
        // Only where it lies within the range asked for, so that it never
        // stands in for a table temperature outside the range.
        withSaturation = tMin <= ts && ts <= tMax;
    }
    if (phase == Phase::Vapour && withSaturation) AddNode(nodes, ts, NodeSource::Saturation, 0);
    // The entries from tMin to tMax.
    const int firstEntry = tMin <= 0 ? 0 : int(double(tMin)) / kEntryStep;
    const int lastEntry = tMax >= kEntryStep * (kIsobarEntries - 1) ? kIsobarEntries - 1
                                                                   : int(double(tMax)) / kEntryStep;
    for (int j = firstEntry; j <= lastEntry; ++j) {
        const Extended t = Extended(kEntryStep * j);
        if (t < tMin || t > tMax) continue;
        const NodeSource source = SourceOf(*nodes, phase, j, ts, criticalVolume);
        if (source == NodeSource::Saturation) continue;
        AddNode(nodes, t, source, j);
        if (source == NodeSource::Isotherm) ReadIsotherm(tables, j, nodes);
    }
    if (phase == Phase::Liquid && withSaturation) AddNode(nodes, ts, NodeSource::Saturation, 0);
    for (int c = 0; c < kEntryValues; ++c)
        if (columns >> c & 1) FillColumn(nodes, c, 0, nodes->count);
}

void FillColumn(PhaseNodes *nodes, int column, int first, int count) {
    for (int i = first; i < first + count; ++i) nodes->value[column][i] = NodeColumn(*nodes, i, column);
}

Extended NodeValue(const PhaseNodes &nodes, int column, Extended t, int interval) {
    if (interval < 0) interval = IntervalOf(nodes.t, nodes.count, t);
    return StencilValue(nodes.t, nodes.value[column], nodes.count, interval, t);
}

}  // namespace rudid
