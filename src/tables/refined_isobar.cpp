#include "tables/refined_isobar.h"

#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_shape.h"
#include "tables/saturation_by_temperature.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

// Only table temperatures within this distance of the saturation
// temperature can have an isobar on the other side of the line: between two
// neighbouring isobars of the grid the saturation temperature rises by at
// most 10.5 C (from 0.01 to 0.02 bar).
constexpr Extended kIsothermReach = 15;

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
    w_ = (place.p - p0_) / (p1_ - p0_);
    const ByteSpan span{std::uint64_t(k - 2) * kIsobarSize, 2 * kIsobarSize};
    low_ = SpanBytes(tables.source, Table::SinglePhase, span, scratch_);
    high_ = low_ + kIsobarSize;
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
// vapour otherwise: the table holds the stable phase at every node.
Extended PhaseLine::value(int i, int column) {
    const bool vapour = phase_ == Phase::Vapour;
    if (i == saturationNode_) return place_.saturation.field((vapour ? kVapourVolume : kLiquidVolume) + 2 * column);
    const int j = EntryOf(i);
    const Extended t = Extended(kEntryStep * j);
    if (phase_ == Phase::Liquid && t >= ts_ - kIsothermReach &&
        !(ValueAt(low_ + j * kEntrySize, kVolumeColumn) < criticalVolume_))
        return IsothermValue(j, column);
    if (vapour && t <= ts_ + kIsothermReach && j <= kLastEntryBelowCritical &&
        !(ValueAt(high_ + j * kEntrySize, kVolumeColumn) >= criticalVolume_))
        return IsothermValue(j, column);
    const Extended y0 = ValueAt(low_ + j * kEntrySize, column);
    const Extended y1 = ValueAt(high_ + j * kEntrySize, column);
    if (vapour && column == kVolumeColumn) {
        const Extended a = p0_ * y0, b = p1_ * y1;
        return (a + (b - a) * w_) / place_.p;
    }
    const Extended y = y0 + (y1 - y0) * w_;
    return vapour && column == kEntropyColumn ? y + logShift_ : y;
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
    if (n == kStencilNodes && (saturationNode_ < *first || saturationNode_ >= *first + n)) {
        // Four table temperatures, kEntryStep apart.
        EvenWeights(temperature(*first), kEntryStep, t, weight);
        return n;
    }
    Extended xs[kStencilNodes];
    for (int m = 0; m < n; ++m) xs[m] = temperature(*first + m);
    LagrangeWeights(xs, n, t, weight);
    return n;
}

}  // namespace rudid
