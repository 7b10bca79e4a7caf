#include "tables/refined_isobar.h"

#include <algorithm>
#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_shape.h"
#include "tables/refined_stencils.h"
#include "tables/saturation_by_temperature.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

// Above the critical temperature (374.15 degC) there is no isotherm to
// cross: the last entry with one.
constexpr int kLastEntryBelowCritical = int(kCriticalTemperature) / kEntryStep;

}  // namespace

void PlaceIsobars(const RefinedTables &tables, Extended p, RefinedPressure *place) {
    place->p = p;
    place->logP = StoredDouble(std::log(double(p)));  // p: a Real48, held exactly by a double
    place->subcritical = p <= kCriticalPressure;
    IsobarPair &pair = place->isobars;
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(p);
    pair.p0 = grid.point[k - 1];
    pair.p1 = grid.point[k];
    const Extended w = (p - pair.p0) * RefinedStencils().inverseIsobarSpacing[k];
    const Extended l0 = grid.logPoint[k - 1], l1 = grid.logPoint[k];
    pair.w = double(w);
    pair.vapourShift = double(kWaterGasConstant * (l0 + (l1 - l0) * w - place->logP));
    const ByteSpan span{std::uint64_t(k - 2) * kIsobarSize, 2 * kIsobarSize};
    pair.low = SpanBytes(tables.source, Table::SinglePhase, span, pair.scratch);
    pair.high = pair.low + kIsobarSize;
    pair.plain = tables.memory.PlainIsobars(k, pair.low);
}

void PlaceSaturation(const RefinedTables &tables, RefinedPressure *place) {
    if (!place->subcritical) return;
    place->saturation.AtPressure(tables, place->p, place->logP);
    // Every lookup below the critical pressure needs the saturation
    // temperature; asked for now, it is worked out beside the other
    // saturated values the lookup asks for next.
    place->saturation.field(kSaturationLevel);
}

// The entries at or below k in the table values carried to p in double
// precision (CountEntriesAtOrBelow).
int EstimatedEntryAtOrBelow(const IsobarPair &isobars, int column, Extended k) {
    const double key = double(k) - (column == kEntropyColumn ? double(isobars.vapourShift) : 0);
    const int below = CountEntriesAtOrBelow(isobars.low + 4 * column, isobars.high + 4 * column,
                                            double(isobars.w), key);
    return std::min(below, kIsobarEntries - 1);
}

PhaseLine::PhaseLine(const RefinedTables &tables, RefinedPressure &place, Phase phase)
    : tables_(tables), place_(place), isobars_(place.isobars), phase_(phase) {
    if (phase == Phase::Supercritical) {
        count_ = kIsobarEntries;
        return;
    }
    ts_ = place.saturation.field(kSaturationLevel);
    criticalVolume_ = tables.memory.Critical(tables.source).volume;
    PlaceEntries();
}

namespace {

// The first entry at or above x degC (kIsobarEntries when none is), and the
// last at or below (-1 when none is).
// x comes from the tables (a saturation temperature and the reach around
// it), so it may be anything a corrupted table holds, NaN included: only a
// value within the isobar's temperatures is converted to an int.
constexpr double kLastEntryTemperature = kEntryStep * (kIsobarEntries - 1);

int FirstEntryAtOrAbove(double x) {
    if (x <= 0) return 0;
    if (!(x <= kLastEntryTemperature)) return kIsobarEntries;
    const int n = int(x);
    return n == x ? (n + kEntryStep - 1) / kEntryStep : n / kEntryStep + 1;
}

int LastEntryAtOrBelow(double x) {
    if (!(x >= 0)) return -1;
    if (x >= kLastEntryTemperature) return kIsobarEntries - 1;
    return int(x) / kEntryStep;
}

}  // namespace

// The entries of the phase and those near the saturation line, in double
// precision, which holds the saturation temperature (a Real48) and its
// distances to the table temperatures exactly.
void PhaseLine::PlaceEntries() {
    const double ts = double(ts_);
    nearFirst_ = FirstEntryAtOrAbove(ts - double(kIsothermReach));
    nearLast_ = LastEntryAtOrBelow(ts + double(kIsothermReach));
    if (phase_ == Phase::Liquid) {
        // The entries at or below ts - kSaturationClearance, then the
        // saturated liquid.
        const int last = LastEntryAtOrBelow(ts - double(kSaturationClearance));
        saturationNode_ = last + 1;
        count_ = last + 2;
    } else {
        // The saturated vapour, then the entries at or above
        // ts + kSaturationClearance.
        firstEntry_ = FirstEntryAtOrAbove(ts + double(kSaturationClearance));
        saturationNode_ = 0;
        count_ = 1 + kIsobarEntries - firstEntry_;
    }
}

// The value of entry j carried to p from the isobar of the phase and the
// saturated state of the entry's own isotherm (the table by temperature
// holds a record for every whole degree up to 374 degC), whose pressure
// lies between that isobar and p.
Extended PhaseLine::IsothermValue(int j, int column) {
    std::uint8_t scratch[kSaturationRecordSize];
    const int record = kEntryStep * j + 1;  // record n + 1 holds n degC
    const ByteSpan span{std::uint64_t(record) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *saturated = SpanBytes(tables_.source, Table::SaturationOnTemperatureGrid, span, scratch);
    const Extended ps = ValueAt(saturated, kSaturationLevel);
    const bool vapour = phase_ == Phase::Vapour;
    const Extended ys = ValueAt(saturated, vapour ? kVapourVolume + 2 * column : kLiquidVolume + 2 * column);
    const Extended p = place_.p;
    if (!vapour) {
        const Extended w = (p - ps) / (Extended(isobars_.p1) - ps);
        const Extended y1 = ValueAt(isobars_.high + j * kEntrySize, column);
        return ys + (y1 - ys) * w;
    }
    const Extended p0 = isobars_.p0;  // a single
    const Extended y0 = ValueAt(isobars_.low + j * kEntrySize, column);
    const Extended w = (p - p0) / (ps - p0);
    if (column == kVolumeColumn) return (p0 * y0 + (ps * ys - p0 * y0) * w) / p;
    Extended y = y0 + (ys - y0) * w;
    if (column == kEntropyColumn) {
        const Extended l0 = StoredDouble(std::log(double(p0))), ls = StoredDouble(std::log(double(ps)));
        y += kWaterGasConstant * (l0 + (ls - l0) * w - place_.logP);
    }
    return y;
}

// A table node is liquid when its volume lies below the critical volume and
// vapour otherwise: the table holds the stable phase at every node. Where
// the other isobar holds the other phase at entry j, the node's value comes
// from the isotherm instead.
bool PhaseLine::CrossesToIsotherm(int j) const {
    switch (phase_) {
        case Phase::Liquid: return !(ValueAt(isobars_.low + j * kEntrySize, kVolumeColumn) < criticalVolume_);
        case Phase::Vapour:
            return j <= kLastEntryBelowCritical &&
                   !(ValueAt(isobars_.high + j * kEntrySize, kVolumeColumn) >= criticalVolume_);
        case Phase::Supercritical: break;
    }
    return false;
}

Extended PhaseLine::NearLineValue(int j, int column) {
    return CrossesToIsotherm(j) ? IsothermValue(j, column) : IsobarsValue(j, column);
}

bool PhaseLine::FromIsobars(int first, int last) const {
    if (first < 0 || last >= kIsobarEntries) return false;
    if (phase_ == Phase::Liquid && last >= saturationNode_) return false;
    if (phase_ == Phase::Vapour && first < firstEntry_) return false;
    for (int j = std::max(first, nearFirst_); j <= std::min(last, nearLast_); ++j)
        if (CrossesToIsotherm(j)) return false;
    return true;
}

int PhaseLine::IntervalAt(Extended t) const {
    if (count_ < 2) return 0;
    // From the entry of t, then at most a step or two either way; in double
    // precision, which holds t and ts (Real48 values) exactly.
    const double x = double(t), ts = double(ts_);
    const auto at = [&](int i) { return i == saturationNode_ ? ts : double(kEntryStep * EntryOf(i)); };
    int i = int(x) / kEntryStep - firstEntry_ + (saturationNode_ == 0 ? 1 : 0);
    if (i < 0) i = 0;
    if (i > count_ - 2) i = count_ - 2;
    while (i > 0 && at(i) > x) --i;
    while (i + 2 < count_ && at(i + 1) <= x) ++i;
    return i;
}

int PhaseLine::Weights(int interval, Extended t, int *first, double *weight) const {
    const int n = StencilCount(count_);
    *first = StencilStart(interval, count_);
    Extended exact[kStencilNodes];
    if (Even(*first, n)) {
        // Four table temperatures, kEntryStep apart.
        EvenWeights(t - kEntryStep * EntryOf(*first), kEntryStep, exact);
    } else {
        Extended xs[kStencilNodes];
        for (int m = 0; m < n; ++m) xs[m] = temperature(*first + m);
        LagrangeWeights(xs, n, t, exact);
    }
    for (int m = 0; m < n; ++m) weight[m] = double(exact[m]);
    return n;
}

}  // namespace rudid
