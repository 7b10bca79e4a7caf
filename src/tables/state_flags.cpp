#include "tables/state_flags.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/interpolation.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_pressure.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"
#include "tables/state_flag_bounds.h"
#include "tables/state_flag_rules.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

using namespace flag_rules;

// --------------------------------------------------------------------------
// Reading the tables

struct Isobar {
    Extended pressure = 0;
    Extended logPressure = 0;
    bool present = false;
    // The isobar's record, where the source holds it or in scratch.
    const std::uint8_t *bytes = nullptr;

    Extended at(int entry, int column) const { return SingleAt(bytes, 3 * entry + column); }

    // The saturation temperature at the isobar's pressure, once asked for.
    mutable bool saturationKnown = false;
    mutable Extended saturationTemperature = 0;

    std::uint8_t scratch[kIsobarSize];

    Isobar() = default;
    // bytes may point into scratch.
    Isobar(const Isobar &) = delete;
    Isobar &operator=(const Isobar &) = delete;
};

// Reads grid point j of the single-phase table (1 .. kSinglePhaseGridPoints)
// into an absent isobar; leaves it absent outside the grid.
void ReadIsobar(const TableSource &tables, int j, Isobar *isobar) {
    if (j < 1 || j > kSinglePhaseGridPoints) return;
    // The table's singles are little-endian, as the host's.
    const ByteSpan span{std::uint64_t(j - 1) * kIsobarSize, kIsobarSize};
    isobar->bytes = SpanBytes(tables, Table::SinglePhase, span, isobar->scratch);
    isobar->pressure = SinglePhasePressures().point[j];
    isobar->logPressure = SinglePhasePressures().logPoint[j];
    isobar->present = true;
    // A batch may know its saturation temperature already, worked out the
    // same way (PhaseOf).
    if (tables.stateFlagMemo)
        isobar->saturationKnown = KnownIsobarSaturation(*tables.stateFlagMemo, j, &isobar->saturationTemperature);
}

// Records r of zarude.dat (grid point r + 1), absent outside the table.
struct SaturationRecord {
    Extended pressure;
    Extended logPressure = 0;
    bool present = false;
    float field[kSaturationFields];
};

SaturationRecord ReadSaturationRecord(const TableSource &tables, int r) {
    SaturationRecord record;
    if (r < 0 || r >= kSaturationGridPoints) return record;
    std::uint8_t bytes[kSaturationRecordSize];
    const ByteSpan span{std::uint64_t(r) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *at = SpanBytes(tables, Table::SaturationOnPressureGrid, span, bytes);
    for (int f = 0; f < kSaturationFields; ++f) record.field[f] = SingleAt(at, f);
    record.pressure = SaturationPressures().value[r + 1];
    record.logPressure = SaturationPressures().logValue[r + 1];
    record.present = true;
    return record;
}

// A neighbour that only sharpens an estimate: one that the table cannot
// give (a file cut short) is left out rather than failing the answer that
// the lookup could give.
template <typename Read>
auto ReadNeighbour(const TableSource &tables, int index, Read read) -> decltype(read(tables, index)) {
    try {
        return read(tables, index);
    } catch (const LibraryFailure &) {
        return {};
    }
}

// --------------------------------------------------------------------------
// The bend of tabulated values

// A value known at points x, some of which may be missing: the two around
// the state ([1] and [2]) and one neighbour on each side ([0] and [3]).
struct Stencil {
    Extended x[4] = {};
    Extended y[4] = {};
    bool present[4] = {};
    // Along pressure: the logarithms of the x, which are grid pressures,
    // from the grids' own tables of them.
    Extended logX[4] = {};
};

Extended Linear(Extended x, Extended x0, Extended x1, Extended y0, Extended y1) {
    if (x1 == x0) return y0;
    return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

// The parabola through three points, at x.
Extended Parabola(Extended x, Extended xa, Extended ya, Extended xb, Extended yb, Extended xc, Extended yc) {
    const Extended ab = (yb - ya) / (xb - xa);
    const Extended bc = (yc - yb) / (xc - xb);
    return ya + ab * (x - xa) + (bc - ab) / (xc - xa) * (x - xa) * (x - xb);
}

// How far linear interpolation between points 1 and 2 may lie from the
// value at x: the larger distance from it of a parabola through the bracket
// and either neighbour. The parabola is taken in the logarithm of x when
// logarithmic is set: along pressure, where vapour volume and entropy
// follow 1/p and ln p, a parabola in p would underrate the bend next to the
// lowest isobars. Zero with no neighbour.
// logOfX, when given, is the logarithm of the x it was worked out for
// (the state's pressure, once per row).
struct KnownLog {
    Extended x, log;
};

Extended BendError(const Stencil &s, Extended x, bool logarithmic, const KnownLog *logOfX = nullptr) {
    if (!s.present[1] || !s.present[2] || !(s.x[2] > s.x[1])) return 0;
    const Extended w = std::clamp(x, s.x[1], s.x[2]);
    const Extended linear = Linear(w, s.x[1], s.x[2], s.y[1], s.y[2]);
    // The logarithm of w only where it is not a grid point already known.
    const Extended sw = !logarithmic   ? w
                        : w == s.x[1] ? s.logX[1]
                        : w == s.x[2] ? s.logX[2]
                        : logOfX && w == logOfX->x ? logOfX->log
                                                   : std::log(w);
    auto scale = [&](int i) { return logarithmic ? s.logX[i] : s.x[i]; };
    Extended error = 0;
    for (int n : {0, 3}) {
        if (!s.present[n] || s.x[n] == s.x[1] || s.x[n] == s.x[2]) continue;
        const Extended bent = Parabola(sw, scale(1), s.y[1], scale(2), s.y[2], scale(n), s.y[n]);
        error = std::max(error, std::fabs(bent - linear));
    }
    return error;
}

// Whether a parabola through the bracket and either neighbour turns between
// points 1 and 2: the value then does not decide where in the interval the
// state lies (water's volume near its density maximum).
bool Turns(const Stencil &s) {
    if (!s.present[1] || !s.present[2] || !(s.x[2] > s.x[1])) return false;
    const Extended slope = (s.y[2] - s.y[1]) / (s.x[2] - s.x[1]);
    for (int n : {0, 3}) {
        if (!s.present[n] || s.x[n] == s.x[1] || s.x[n] == s.x[2]) continue;
        const Extended c = ((s.y[n] - s.y[2]) / (s.x[n] - s.x[2]) - slope) / (s.x[n] - s.x[1]);
        const Extended half = c * (s.x[2] - s.x[1]);
        if ((slope - half) * (slope + half) < 0) return true;
    }
    return false;
}

bool Coarse(Extended error, Extended scale) { return error > kCoarseShare * scale; }

// --------------------------------------------------------------------------
// The saturation line

// One field of the saturation state at pressure p, as the lookups
// interpolate it.
Extended SaturationFieldAt(const TableSource &tables, Extended p, int field) {
    return SaturationAtPressure(tables, p).field(field);
}

// The saturation line at pressure p as the lookups interpolate it, with the
// bend of its temperature there.
struct SaturationAt {
    Extended temperature;
    Extended temperatureError;
    Extended value[kSaturationFields];  // the fields, as the lookups interpolate them
    Stencil fields[kSaturationFields];
    KnownLog logPressure;  // of the pressure it is taken at
};

// The fields of the saturation state that a caller reads from value[] and
// fields[] (the temperature always); the others are left unset. Interpolating fewer
// fields gives the same numbers and the same failures (SaturationPoint).
// known, when given, is the logarithm of p worked out already.
SaturationAt SaturationLineAt(const TableSource &tables, Extended p, unsigned wanted,
                              const KnownLog *known = nullptr) {
    const int k = FirstSaturationPointAbove(p);
    SaturationAt at{};
    SaturationRecord records[4];
    for (int i = 0; i < 4; ++i)
        records[i] = i == 1 || i == 2 ? ReadSaturationRecord(tables, k - 3 + i)
                                      : ReadNeighbour(tables, k - 3 + i, ReadSaturationRecord);
    for (int f = 0; f < kSaturationFields; ++f) {
        if (f != kSaturationLevel && !(wanted & 1u << f)) continue;
        Stencil &s = at.fields[f];
        for (int i = 0; i < 4; ++i) {
            s.present[i] = records[i].present;
            s.x[i] = records[i].pressure;
            s.logX[i] = records[i].logPressure;
            s.y[i] = records[i].field[f];
        }
    }
    // The fields exactly as the lookups have them.
    const SaturationPoint point = SaturationAtPressure(tables, p);
    for (int f = 0; f < kSaturationFields; ++f)
        if (f == kSaturationLevel || (wanted & 1u << f)) at.value[f] = point.field(f);
    at.temperature = at.value[kSaturationLevel];
    at.logPressure = known && known->x == p ? *known : KnownLog{p, std::log(p)};
    at.temperatureError = BendError(at.fields[kSaturationLevel], p, true, &at.logPressure);
    return at;
}

Extended SaturationMargin(const SaturationAt &sat) {
    return kSaturationMarginFactor * sat.temperatureError + kSaturationMarginFloor;
}

// The phase of a table point: on an isobar below the critical pressure
// relative to the saturation temperature that the tables give at that
// pressure; above it, liquid-like below the critical temperature.
Phase PhaseAt(const TableSource &tables, Extended pressure, Extended t) {
    if (pressure > kCriticalPressure) return t < kCriticalTemperature ? Phase::Liquid : Phase::Vapour;
    const Extended lowest = SaturationPressures().value[1];
    const Extended ts = SaturationFieldAt(tables, std::max(pressure, lowest), kSaturationLevel);
    return t < ts ? Phase::Liquid : Phase::Vapour;
}

// PhaseAt for a table point on an isobar, which asks the saturation line
// once for all the isobar's points.
Phase PhaseOf(const TableSource &tables, const Isobar &isobar, Extended t) {
    if (isobar.pressure > kCriticalPressure) return PhaseAt(tables, isobar.pressure, t);
    if (!isobar.saturationKnown) {
        const Extended lowest = SaturationPressures().value[1];
        isobar.saturationTemperature = SaturationFieldAt(tables, std::max(isobar.pressure, lowest), kSaturationLevel);
        isobar.saturationKnown = true;
    }
    return t < isobar.saturationTemperature ? Phase::Liquid : Phase::Vapour;
}

// --------------------------------------------------------------------------
// The isobars around a pressure

// The two isobars around p and one more on each side, as the stencil of the
// interpolation in pressure.
struct IsobarsAround {
    Isobar isobar[4];
    int k;  // grid index of the upper isobar of the bracket
    KnownLog logPressure;  // of the pressure they are around
};

// Fills an IsobarsAround made for it (its isobars absent).
// known, when given, is the logarithm of p worked out already.
void ReadIsobarsAround(const TableSource &tables, Extended p, IsobarsAround *around,
                       const KnownLog *known = nullptr) {
    around->k = FirstSinglePhasePointAbove(p);  // as the lookup found it
    around->logPressure = known && known->x == p ? *known : KnownLog{p, std::log(p)};
    for (int i = 0; i < 4; ++i) {
        Isobar *isobar = &around->isobar[i];
        if (i == 1 || i == 2) {
            ReadIsobar(tables, around->k - 2 + i, isobar);
            continue;
        }
        // A neighbour that the table cannot give is left out (ReadNeighbour).
        try {
            ReadIsobar(tables, around->k - 2 + i, isobar);
        } catch (const LibraryFailure &) {
            isobar->present = false;
        }
    }
}

// A column's values at one entry across the four isobars; a neighbour of a
// different phase than the bracket's isobars at that temperature is left
// out: its bend is that of the saturation line, not of the property.
Stencil PressureStencil(const TableSource &tables, const IsobarsAround &around, int entry, int column) {
    Stencil s;
    const Extended t = 10 * entry;
    const Phase phase = PhaseOf(tables, around.isobar[1], t);
    for (int i = 0; i < 4; ++i) {
        const Isobar &isobar = around.isobar[i];
        if (!isobar.present) continue;
        if ((i == 0 || i == 3) && PhaseOf(tables, isobar, t) != phase) continue;
        s.present[i] = true;
        s.x[i] = isobar.pressure;
        s.logX[i] = isobar.logPressure;
        s.y[i] = isobar.at(entry, column);
    }
    return s;
}

// The value of a column at entry, interpolated to p as the pressure-
// temperature lookup does.
Extended AlongPressure(const IsobarsAround &around, Extended p, int entry, int column) {
    const Isobar &a = around.isobar[1];
    const Isobar &b = around.isobar[2];
    return Interpolate(p, a.pressure, b.pressure, SingleValue(SingleAt(a.bytes, 3 * entry + column)),
                       SingleValue(SingleAt(b.bytes, 3 * entry + column)));
}

// The same as the working isobar of the inverse lookup holds it, in single
// precision.
Extended WorkingValue(const IsobarsAround &around, Extended p, int entry, int column) {
    return float(AlongPressure(around, p, entry, column));
}

// Whether the table points at entry on both isobars of the bracket are of
// the given phase.
bool EntryOfPhase(const TableSource &tables, const IsobarsAround &around, int entry, Phase phase) {
    const Extended t = 10 * entry;
    return PhaseOf(tables, around.isobar[1], t) == phase &&
           PhaseOf(tables, around.isobar[2], t) == phase;
}

// One point of the working isobar used as an anchor: a table entry or the
// saturated state.
struct Anchor {
    Extended temperature;
    Extended value;
    Extended pressureError;  // of the value, from the bend across isobars
};

// A neighbour's error in pressure is never asked for (RowError reads the
// bracket's): it is left at zero. Its stencil would ask the phases of the
// same isobars as the bracket's stencil does, which every row builds, so
// leaving it out changes no outcome, failures included.
Anchor EntryAnchor(const TableSource &tables, const IsobarsAround &around, Extended p, int entry, int column,
                   bool neighbour) {
    if (neighbour) return {Extended(10 * entry), WorkingValue(around, p, entry, column), 0};
    const Stencil s = PressureStencil(tables, around, entry, column);
    return {Extended(10 * entry), WorkingValue(around, p, entry, column), BendError(s, p, true, &around.logPressure)};
}

// The anchors of an interpolation in temperature along the working isobar:
// [1] and [2] around the state, [0] and [3] their neighbours when they are
// of the state's phase.
struct AnchorRow {
    Anchor anchor[4];
    bool present[4] = {};
};

// The bend of the working isobar in temperature at t, from the anchors.
Extended TemperatureBendError(const AnchorRow &row, Extended t) {
    Stencil s;
    for (int i = 0; i < 4; ++i) {
        s.present[i] = row.present[i];
        s.x[i] = row.anchor[i].temperature;
        s.y[i] = row.anchor[i].value;
    }
    return BendError(s, t, false);
}

// The working isobar's anchors for a column around the interval between
// entries lower and lower + 1, with the saturated state in place of the
// entry across the saturation line when the lookup uses it.
AnchorRow Anchors(const TableSource &tables, const IsobarsAround &around, Extended p, int lower, int column,
                  Phase phase, bool belowCritical, const Anchor *saturated, bool saturatedIsUpper) {
    AnchorRow row;
    auto entry = [&](int slot, int e) {
        if (e < 0 || e >= kIsobarEntries) return;
        const bool neighbour = slot == 0 || slot == 3;
        if (belowCritical && neighbour && !EntryOfPhase(tables, around, e, phase)) {
            // A neighbour across the line at this pressure may still be of
            // the state's phase on one isobar of the bracket: liquid on the
            // higher, vapour on the lower. Its bend there stands in.
            const Isobar &isobar = around.isobar[phase == Phase::Liquid ? 2 : 1];
            if (!isobar.present || PhaseOf(tables, isobar, 10 * e) != phase) return;
            row.anchor[slot] = {Extended(10 * e), isobar.at(e, column), 0};
            row.present[slot] = true;
            return;
        }
        row.anchor[slot] = EntryAnchor(tables, around, p, e, column, neighbour);
        row.present[slot] = true;
    };
    if (saturated && saturatedIsUpper) {
        // The entry beyond the saturated state, where it is of the state's
        // phase on one isobar, bends the line as well as one further out.
        entry(0, lower - 1);
        entry(1, lower);
        row.anchor[2] = *saturated;
        row.present[2] = true;
        if (!row.present[0]) entry(3, lower + 1);
    } else if (saturated) {
        entry(0, lower);
        row.anchor[1] = *saturated;
        row.present[1] = true;
        entry(2, lower + 1);
        entry(3, lower + 2);
    } else {
        entry(0, lower - 1);
        entry(1, lower);
        entry(2, lower + 1);
        entry(3, lower + 2);
    }
    return row;
}

// The estimated error of the value interpolated at t from a row of anchors:
// the larger error in pressure of the two anchors plus the bend in
// temperature.
Extended RowError(const AnchorRow &row, Extended t) {
    return std::max(row.anchor[1].pressureError, row.anchor[2].pressureError) + TemperatureBendError(row, t);
}

// The flags of a wet state, where the saturation line's own uncertainty
// decides.
unsigned WetSteamFlags(const SaturationAt &sat, Extended p, Extended k, int keyLiquid, int output, int outputColumn) {
    unsigned flags = 0;
    const Extended kf = sat.value[keyLiquid], kg = sat.value[keyLiquid + 1];
    const Extended kfError = BendError(sat.fields[keyLiquid], p, true, &sat.logPressure);
    const Extended kgError = BendError(sat.fields[keyLiquid + 1], p, true, &sat.logPressure);
    if (p >= kCriticalBoxLowPressure) flags |= kCriticalRegion;
    if (k - kf <= kSaturationMarginFactor * kfError || kg - k <= kSaturationMarginFactor * kgError)
        flags |= kNearSaturation;
    // The quality inherits the uncertainty of both saturated keys; a
    // property of the mixture, that of its own saturated values and the
    // quality's times their difference.
    const Extended x = kg == kf ? 0 : (k - kf) / (kg - kf);
    const Extended qualityError = kg == kf ? 0 : ((1 - x) * kfError + x * kgError) / (kg - kf);
    if (output == 3 && qualityError > kCoarseShare) flags |= kCoarseGrid;
    if (outputColumn >= 0) {
        const int f = LiquidFieldOf(outputColumn);
        const Extended error = (1 - x) * BendError(sat.fields[f], p, true, &sat.logPressure) +
                               x * BendError(sat.fields[f + 1], p, true, &sat.logPressure) +
                               std::fabs(sat.value[f + 1] - sat.value[f]) * qualityError;
        const Extended value = (1 - x) * sat.value[f] + x * sat.value[f + 1];
        if (Coarse(error, ColumnScale(outputColumn, value))) flags |= kCoarseGrid;
    }
    return flags;
}

// The coarse-grid flag of an inverse answer at temperature t, interpolated
// on keyRow: the error of the key at the state becomes an error of the
// temperature through the slope of the interval, and of an output property
// through its own row's slope as well. outputRow() gives that row; it is
// read only where the key's row leaves the flag open.
template <class OutputRow>
unsigned InverseCoarseGrid(const AnchorRow &keyRow, Extended t, int output, int outputColumn, OutputRow outputRow) {
    const Anchor &a = keyRow.anchor[1];
    const Anchor &b = keyRow.anchor[2];
    const Extended keyError = RowError(keyRow, t);
    Stencil keyStencil;
    for (int i = 0; i < 4; ++i) {
        keyStencil.present[i] = keyRow.present[i];
        keyStencil.x[i] = keyRow.anchor[i].temperature;
        keyStencil.y[i] = keyRow.anchor[i].value;
    }
    if (output != 3 && Turns(keyStencil)) return kCoarseGrid;
    const Extended slope = b.value == a.value ? 0 : (b.temperature - a.temperature) / (b.value - a.value);
    const Extended temperatureError = std::fabs(slope) * keyError;
    if (b.value == a.value && keyError > 0) return kCoarseGrid;
    Extended error = temperatureError, scale = t + kKelvinOffset;
    if (outputColumn >= 0) {
        const AnchorRow row = outputRow();
        const Anchor &oa = row.anchor[1];
        const Anchor &ob = row.anchor[2];
        const Extended value = Linear(t, oa.temperature, ob.temperature, oa.value, ob.value);
        const Extended outSlope = (ob.value - oa.value) / (ob.temperature - oa.temperature);
        error = RowError(row, t) + std::fabs(outSlope) * temperatureError;
        scale = ColumnScale(outputColumn, value);
    }
    return output != 3 && Coarse(error, scale) ? kCoarseGrid : 0u;
}

}  // namespace

// --------------------------------------------------------------------------

unsigned PressureTemperatureFlags(const TableSource &tables, Extended p, Extended t, int column,
                                  const LookupPath &path) {
    MoveInsideTheGrid(&p, &t);
    IsobarsAround around;
    ReadIsobarsAround(tables, p, &around);
    const int lower = path.lowerEntry;
    const Extended t0 = 10 * lower, t1 = t0 + 10;
    const Extended p0 = around.isobar[1].pressure, p1 = around.isobar[2].pressure;

    unsigned flags = 0;
    if (NearCriticalPoint(p0, p1, t0, t1)) flags |= kCriticalRegion;

    // The side of the line and the crossing of the cell, as the lookup
    // found them.
    const bool belowCritical = path.belowCritical;
    const Phase phase = path.vapour ? Phase::Vapour : Phase::Liquid;
    const bool straddling = path.straddling;
    Anchor saturated{};
    if (belowCritical) {
        const int field = LiquidFieldOf(column) + (phase == Phase::Vapour ? 1 : 0);
        const SaturationAt sat = SaturationLineAt(tables, p, 1u << field, &around.logPressure);
        const Extended ts = sat.temperature;
        if (std::fabs(t - ts) < SaturationMargin(sat)) flags |= kNearSaturation;
        // Only a cell that the line crosses reads the saturated anchor.
        if (straddling) saturated = {ts, sat.value[field], BendError(sat.fields[field], p, true, &sat.logPressure)};
        // The table points interpolated must be of the state's phase.
        const bool useLower = !straddling || phase == Phase::Liquid;
        const bool useUpper = !straddling || phase == Phase::Vapour;
        if ((useLower && !EntryOfPhase(tables, around, lower, phase)) ||
            (useUpper && !EntryOfPhase(tables, around, lower + 1, phase)))
            flags |= kMixedPhaseCell;
    }

    const AnchorRow row = Anchors(tables, around, p, lower, column, phase, belowCritical,
                                  straddling ? &saturated : nullptr, phase == Phase::Liquid);
    const Extended value = Linear(t, row.anchor[1].temperature, row.anchor[2].temperature, row.anchor[1].value,
                                  row.anchor[2].value);
    if (!(flags & kMixedPhaseCell) && Coarse(RowError(row, t), ColumnScale(column, value))) flags |= kCoarseGrid;
    return flags;
}

unsigned InverseFlags(const TableSource &tables, InverseKey key, Extended p, Extended k, int output,
                      const LookupPath &path) {
    MoveInsideTheGrid(&p);
    const InverseColumns columns = ColumnsOf(key, output);
    const int keyColumn = columns.key, keyLiquid = columns.keyLiquid, outputColumn = columns.output;

    unsigned flags = 0;
    const bool belowCritical = p <= kCriticalPressure;
    SaturationAt sat{};
    if (belowCritical) {
        const unsigned wanted = 3u << keyLiquid | (outputColumn >= 0 ? 3u << LiquidFieldOf(outputColumn) : 0u);
        sat = SaturationLineAt(tables, p, wanted);
        if (path.twoPhase) return WetSteamFlags(sat, p, k, keyLiquid, output, outputColumn);
    }

    IsobarsAround around;
    ReadIsobarsAround(tables, p, &around, belowCritical ? &sat.logPressure : nullptr);
    // The interval of the working isobar, the side of the line and the
    // interval's crossing of it, as the lookup found them.
    const int upper = path.upperEntry, lower = path.lowerEntry;
    const Extended p0 = around.isobar[1].pressure, p1 = around.isobar[2].pressure;

    Phase phase = Phase::Liquid;
    const bool straddling = path.straddling;
    if (belowCritical) {
        phase = path.vapour ? Phase::Vapour : Phase::Liquid;
        const bool useLower = !straddling || phase == Phase::Liquid;
        const bool useUpper = !straddling || phase == Phase::Vapour;
        if ((useLower && !EntryOfPhase(tables, around, lower, phase)) ||
            (useUpper && !EntryOfPhase(tables, around, upper, phase)))
            flags |= kMixedPhaseCell;
    } else {
        phase = 10 * upper <= kCriticalTemperature ? Phase::Liquid : Phase::Vapour;
        // Above the critical pressure the quality says on which side of a
        // fixed critical key the state lies; where the saturated keys just
        // below the critical pressure still differ, that side is uncertain.
        if (output == 3) {
            const SaturationRecord last = ReadSaturationRecord(tables, kSaturationGridPoints - 2);
            if (last.field[keyLiquid] <= k && k <= last.field[keyLiquid + 1]) flags |= kCriticalRegion;
        }
    }

    const Extended t0 = 10 * lower, t1 = 10 * upper;
    if (NearCriticalPoint(p0, p1, t0, t1)) flags |= kCriticalRegion;

    // Only an interval that the line crosses reads the saturated anchor.
    auto saturatedAnchor = [&](int column) {
        const int f = LiquidFieldOf(column) + (phase == Phase::Vapour ? 1 : 0);
        return Anchor{sat.temperature, sat.value[f],
                      straddling ? BendError(sat.fields[f], p, true, &sat.logPressure) : 0};
    };
    auto rowFor = [&](int column, const Anchor *saturated) {
        return Anchors(tables, around, p, lower, column, phase, belowCritical, saturated, phase == Phase::Liquid);
    };
    Anchor keySaturated = saturatedAnchor(keyColumn);
    const AnchorRow keyRow = rowFor(keyColumn, straddling ? &keySaturated : nullptr);
    const Anchor &a = keyRow.anchor[1];
    const Anchor &b = keyRow.anchor[2];
    const Extended t = Linear(k, a.value, b.value, a.temperature, b.temperature);
    if (belowCritical && std::fabs(t - sat.temperature) < SaturationMargin(sat)) flags |= kNearSaturation;
    if (flags & kMixedPhaseCell) return flags;

    return flags | InverseCoarseGrid(keyRow, t, output, outputColumn, [&] {
               Anchor outSaturated = saturatedAnchor(outputColumn);
               return rowFor(outputColumn, straddling ? &outSaturated : nullptr);
           });
}

unsigned SaturationFlags(const TableSource &tables, bool byPressure, Extended level, int field, Extended quality) {
    unsigned flags = 0;
    if (!byPressure) {
        // One-degree records: only the approach to the critical point bends
        // faster than they follow.
        if (level >= kCriticalBoxLowTemperature) flags |= kCriticalRegion;
        return flags;
    }
    if (level >= kCriticalBoxLowPressure) flags |= kCriticalRegion;
    const SaturationAt sat = SaturationLineAt(tables, level, quality < 0 ? 1u << field : 3u << field);
    Extended error, value;
    if (quality < 0) {
        error = BendError(sat.fields[field], level, true, &sat.logPressure);
        value = sat.value[field];
    } else {
        error = (1 - quality) * BendError(sat.fields[field], level, true, &sat.logPressure) +
                quality * BendError(sat.fields[field + 1], level, true, &sat.logPressure);
        value = (1 - quality) * sat.value[field] + quality * sat.value[field + 1];
    }
    if (Coarse(error, FieldScale(field, value))) flags |= kCoarseGrid;
    return flags;
}

}  // namespace rudid
