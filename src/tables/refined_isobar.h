// One phase of the isobar through a pressure, as the refined answers
// interpolate it: the table temperatures at which the neighbouring isobars
// of the single-phase table hold that phase, their values carried to the
// pressure, and the saturated state of the phase at the pressure itself.
// Nodes of different phases never meet in one interpolation.
#pragma once

#include <cmath>
#include <cstdint>

#include "common/constants.h"
#include "tables/record_fields.h"
#include "tables/refined_memory.h"
#include "tables/refined_saturation.h"
#include "tables/single_phase_table.h"

namespace rudid {

enum class Phase { Liquid, Vapour, Supercritical };

// The two isobars of the single-phase table around a pressure p and how
// their values are carried to p: linear in pressure, steam's volume as p v
// and its entropy as s + R ln p.
//
// The pressures are singles and held exactly; the weight and the shift are
// kept in double precision, which carries a value to a few parts in 1e16,
// far below the six-byte rounding, and enters the x87 arithmetic in one
// load where an 80-bit value takes several.
struct IsobarPair {
    double p0, p1;  // their pressures
    double w;       // the weight of p between them
    double vapourShift;  // R (ln p0 + (ln p1 - ln p0) w - ln p), added to steam's entropy
    const std::uint8_t *low, *high;  // 81 entries each
    bool plain;  // they hold plain singles only (PlainSingles)
    std::uint8_t scratch[2 * kIsobarSize];
};

// The pressure as the refined answers place it among the tables: p, its
// natural logarithm, the isobars around it, and below the critical pressure
// the saturated state there. Holds the records it reads, so it is neither
// copied nor moved.
struct RefinedPressure {
    Extended p;
    double logP;
    bool subcritical;
    IsobarPair isobars;
    RefinedSaturation saturation;  // when subcritical
};
// p, its logarithm and its isobars. Raises the tables' input/output
// failures.
void PlaceIsobars(const RefinedTables &tables, Extended p, RefinedPressure *place);
// Below the critical pressure, the saturated state at the placed pressure,
// its temperature worked out. Raises the tables' input/output failures.
void PlaceSaturation(const RefinedTables &tables, RefinedPressure *place);
inline void PlacePressure(const RefinedTables &tables, Extended p, RefinedPressure *place) {
    PlaceIsobars(tables, p, place);
    PlaceSaturation(tables, place);
}

// Entry j of the isobars carried to p (the pressure they were placed
// around), in the forms of the phase: for steam, its volume as p v and its
// entropy as s + R ln p.
[[gnu::always_inline]] inline Extended CarriedEntry(const IsobarPair &isobars, bool vapour, Extended p, int j,
                                                    int column) {
    const auto entry = [&](const std::uint8_t *isobar) {
        return isobars.plain ? Extended(SingleAt(isobar + j * kEntrySize, column))
                             : ValueAt(isobar + j * kEntrySize, column);
    };
    const Extended y0 = entry(isobars.low), y1 = entry(isobars.high);
    if (vapour && column == kVolumeColumn) {
        const Extended a = Extended(isobars.p0) * y0, b = Extended(isobars.p1) * y1;
        return (a + (b - a) * Extended(isobars.w)) / p;
    }
    const Extended y = y0 + (y1 - y0) * Extended(isobars.w);
    return vapour && column == kEntropyColumn ? y + Extended(isobars.vapourShift) : y;
}

// An estimate of the last table entry at or below k in a column that rises
// with temperature, from the values of the isobars carried to p in double
// precision (0 when k lies below them all), to be confirmed on the exact
// node values. Needs the isobars only, so that it can be worked out beside
// the saturated state.
int EstimatedEntryAtOrBelow(const IsobarPair &isobars, int column, Extended k);

// The nodes of a phase at the placed pressure (Supercritical above the
// critical pressure), rising in temperature: every table temperature that
// holds the phase, and below the critical pressure the saturated state of
// the phase, first for the vapour and last for the liquid. A node's values
// are worked out when asked for, from the two isobars around the pressure
// (and the saturated state of the node's own isotherm where the other
// isobar has crossed the saturation line there). Refers to the placed
// pressure, which must outlive it.
class PhaseLine {
public:
    // Raises the tables' input/output failures.
    PhaseLine(const RefinedTables &tables, RefinedPressure &place, Phase phase);
    PhaseLine(const PhaseLine &) = delete;
    PhaseLine &operator=(const PhaseLine &) = delete;

    int count() const { return count_; }
    Extended temperature(int i) const { return i == saturationNode_ ? ts_ : Extended(kEntryStep * EntryOf(i)); }
    // The value of the column (EntryColumn) at node i. Raises the tables'
    // failures.
    [[gnu::always_inline]] Extended value(int i, int column) {
        if (i == saturationNode_) return SaturatedValue(column);
        const int j = EntryOf(i);
        if (j >= nearFirst_ && j <= nearLast_) return NearLineValue(j, column);
        return IsobarsValue(j, column);
    }

    // The index of the interval of the nodes that holds t: the last
    // i <= count - 2 with temperature(i) <= t, or 0 below the first node.
    int IntervalAt(Extended t) const;

    // The interval of the nodes (0..count - 2) that starts at a table
    // entry, or the nearest one.
    int IntervalOfEntry(int entry) const {
        const int i = entry - firstEntry_ + (saturationNode_ == 0 ? 1 : 0);
        return i < 0 ? 0 : i > count_ - 2 ? count_ - 2 : i;
    }

    // The weights of the cubic (or lower, with fewer nodes) that
    // interpolates interval i, at t, for the nodes first .. first + n - 1;
    // returns n. In double precision, as those of the isobars.
    int Weights(int interval, Extended t, int *first, double *weight) const;

    // Whether the table entries first .. last are all nodes of the line
    // whose values come from the isobars (CarriedEntry). Raises the
    // tables' failures.
    bool FromIsobars(int first, int last) const;

    // Whether the n nodes from first are table temperatures, kEntryStep
    // apart.
    bool Even(int first, int n) const {
        return n == kStencilNodes && (saturationNode_ < first || saturationNode_ >= first + n);
    }

    // Only table temperatures within this distance of the saturation
    // temperature can have an isobar on the other side of the line: between
    // two neighbouring isobars of the grid the saturation temperature rises
    // by at most 10.5 C (from 0.01 to 0.02 bar).
    static constexpr Extended kIsothermReach = 15;

private:
    void PlaceEntries();
    int EntryOf(int i) const { return firstEntry_ + i - (saturationNode_ == 0 ? 1 : 0); }
    Extended SaturatedValue(int column) {
        return place_.saturation.field((phase_ == Phase::Vapour ? kVapourVolume : kLiquidVolume) + 2 * column);
    }
    Extended NearLineValue(int j, int column);
    bool CrossesToIsotherm(int j) const;
    Extended IsothermValue(int j, int column);
    [[gnu::always_inline]] Extended IsobarsValue(int j, int column) const {
        return CarriedEntry(isobars_, phase_ == Phase::Vapour, place_.p, j, column);
    }

    const RefinedTables &tables_;
    RefinedPressure &place_;
    const IsobarPair &isobars_;
    Phase phase_;
    int count_ = 0;
    int firstEntry_ = 0;       // the entry of the first table node
    int saturationNode_ = -1;  // the index of the saturated state, or -1
    // The entries within kIsothermReach of the saturation temperature
    // (none above the critical pressure).
    int nearFirst_ = kIsobarEntries, nearLast_ = -1;
    Extended ts_ = 0, criticalVolume_ = 0;
};

}  // namespace rudid
