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

void PlacePressure(const RefinedTables &tables, Extended p, RefinedPressure *place) {
    place->p = p;
    place->logP = std::log(double(p));  // a Real48, held exactly by a double
    place->subcritical = p <= kCriticalPressure;
    if (place->subcritical) place->saturation.AtPressure(tables, p, place->logP);
}

// Reads the two isobars around p and the weight that carries their values
// to p: linear in pressure, steam's volume as p v and its entropy as
// s + R ln p.
PhaseLine::PhaseLine(const RefinedTables &tables, RefinedPressure &place, Phase phase)
    : tables_(tables), place_(place), phase_(phase) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(place.p);
    p0_ = grid.point[k - 1];
    p1_ = grid.point[k];
    w_ = (place.p - p0_) * RefinedStencils().inverseIsobarSpacing[k];
    const ByteSpan span{std::uint64_t(k - 2) * kIsobarSize, 2 * kIsobarSize};
    low_ = SpanBytes(tables.source, Table::SinglePhase, span, scratch_);
    high_ = low_ + kIsobarSize;
    plain_ = tables.memory.PlainIsobars(k, low_);
    if (phase == Phase::Vapour) {
        const Extended l0 = grid.logPoint[k - 1], l1 = grid.logPoint[k];
        logShift_ = kWaterGasConstant * (l0 + (l1 - l0) * w_ - place.logP);
    }
    if (phase == Phase::Supercritical) {
        count_ = kIsobarEntries;
        return;
    }
    ts_ = place.saturation.field(kSaturationLevel);
    criticalVolume_ = tables.memory.Critical(tables.source).volume;
    // The entries j with |10 j - ts| <= kIsothermReach: from an estimate,
    // settled on the exact distances.
    const auto near = [&](int j) { return std::fabs(Extended(kEntryStep * j) - ts_) <= kIsothermReach; };
    nearFirst_ = std::max(0, int(double(ts_ - kIsothermReach)) / kEntryStep);
    while (nearFirst_ > 0 && near(nearFirst_ - 1)) --nearFirst_;
    while (nearFirst_ < kIsobarEntries && !near(nearFirst_)) ++nearFirst_;
    nearLast_ = nearFirst_;
    while (nearLast_ + 1 < kIsobarEntries && near(nearLast_ + 1)) ++nearLast_;
    if (phase == Phase::Liquid) {
        // The entries at or below ts - kSaturationClearance, then the
        // saturated liquid.
        const Extended highest = ts_ - kSaturationClearance;
        int last = highest < 0 ? -1 : int(double(highest)) / kEntryStep;
        while (last + 1 < kIsobarEntries && kEntryStep * (last + 1) <= highest) ++last;
        while (last >= 0 && kEntryStep * last > highest) --last;
        saturationNode_ = last + 1;
        count_ = last + 2;
    } else {
        // The saturated vapour, then the entries at or above
        // ts + kSaturationClearance.
        const Extended lowest = ts_ + kSaturationClearance;
        int first = int(double(lowest)) / kEntryStep;
        while (first > 0 && kEntryStep * (first - 1) >= lowest) --first;
        while (first < kIsobarEntries && kEntryStep * first < lowest) ++first;
        firstEntry_ = first;
        saturationNode_ = 0;
        count_ = 1 + kIsobarEntries - first;
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
        const Extended w = (p - ps) / (p1_ - ps);
        const Extended y1 = ValueAt(high_ + j * kEntrySize, column);
        return ys + (y1 - ys) * w;
    }
    const Extended y0 = ValueAt(low_ + j * kEntrySize, column);
    const Extended w = (p - p0_) / (ps - p0_);
    if (column == kVolumeColumn) return (p0_ * y0 + (ps * ys - p0_ * y0) * w) / p;
    Extended y = y0 + (ys - y0) * w;
    if (column == kEntropyColumn) {
        const Extended l0 = std::log(double(p0_)), ls = std::log(double(ps));
        y += kWaterGasConstant * (l0 + (ls - l0) * w - place_.logP);
    }
    return y;
}

// A table node is liquid when its volume lies below the critical volume and
// vapour otherwise: the table holds the stable phase at every node. Where
// the other isobar holds the other phase at entry j, the node's value comes
// from the isotherm instead.
Extended PhaseLine::NearLineValue(int j, int column) {
    if (phase_ == Phase::Liquid && !(ValueAt(low_ + j * kEntrySize, kVolumeColumn) < criticalVolume_))
        return IsothermValue(j, column);
    if (phase_ == Phase::Vapour && j <= kLastEntryBelowCritical &&
        !(ValueAt(high_ + j * kEntrySize, kVolumeColumn) >= criticalVolume_))
        return IsothermValue(j, column);
    return IsobarsValue(j, column);
}

// The entries at or below k are counted in the table values carried to p in
// double precision, first among every tenth entry, then among the nine
// between the two tenths that hold k: the loads of each round do not depend
// on each other, and no branch depends on the data.
int PhaseLine::GuessInterval(int column, Extended k) const {
    const double w = double(w_);
    const double key = double(k) - (column == kEntropyColumn ? double(logShift_) : 0);
    const std::uint8_t *a = low_ + 4 * column, *b = high_ + 4 * column;
    const auto atOrBelow = [&](int entry) {
        const double y0 = SingleAt(a, kEntryValues * entry), y1 = SingleAt(b, kEntryValues * entry);
        return int(!(key < y0 + w * (y1 - y0)));
    };
    constexpr int kStride = 10, kLastEntry = kIsobarEntries - 1;
    int tenths = 0;
#pragma GCC unroll 8
    for (int entry = kStride; entry <= kLastEntry; entry += kStride) tenths += atOrBelow(entry);
    const int base = tenths * kStride;
    int below = base;  // the last entry at or below k
#pragma GCC unroll 9
    for (int j = 1; j < kStride; ++j) below += atOrBelow(std::min(base + j, kLastEntry));
    below = std::min(below, kLastEntry);
    const int i = below - firstEntry_ + (saturationNode_ == 0 ? 1 : 0);
    return std::max(0, std::min(i, count_ - 2));
}

int PhaseLine::IntervalAt(Extended t) const {
    if (count_ < 2) return 0;
    // From the entry of t, then at most a step or two either way.
    int i = int(double(t)) / kEntryStep - firstEntry_ + (saturationNode_ == 0 ? 1 : 0);
    if (i < 0) i = 0;
    if (i > count_ - 2) i = count_ - 2;
    while (i > 0 && temperature(i) > t) --i;
    while (i + 2 < count_ && temperature(i + 1) <= t) ++i;
    return i;
}

int PhaseLine::Weights(int interval, Extended t, int *first, Extended *weight) const {
    const int n = StencilCount(count_);
    *first = StencilStart(interval, count_);
    if (Even(*first, n)) {
        // Four table temperatures, kEntryStep apart.
        constexpr Extended kInverseEntryStep = 1.0L / kEntryStep;
        EvenWeights(temperature(*first), kInverseEntryStep, t, weight);
        return n;
    }
    Extended xs[kStencilNodes];
    for (int m = 0; m < n; ++m) xs[m] = temperature(*first + m);
    LagrangeWeights(xs, n, t, weight);
    return n;
}

}  // namespace rudid
