#include "tables/lookup_pt.h"

#include <cmath>

#include "common/interpolation.h"
#include "tables/table_limits.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_pressure.h"
#include "tables/single_phase_table.h"
#include "tables/saturation_place.h"

namespace rudid {

namespace {

constexpr int kCellBytes = 4 * kEntrySize;

// The cell of didizar.dat that holds (p, t): the entries at its lower and
// upper temperature (t0, t1) on the isobars below and above p (p0, p1).
//
// A corner value is widened when it is first needed. That gives the same
// numbers, and the same failures, as widening all twelve up front,
// provided none can fail: every value finite and below 2^126. When a
// corner holds anything else all twelve are widened at once, in the order
// (t0, p0), (t1, p0), (t0, p1), (t1, p1), each v, h, s, and the first that
// fails raises as it would have.
class SinglePhaseCell {
public:
    // scratch: room for the four entries where the source does not hold
    // them; outside the cell, so that the cell's own values can stay in
    // registers.
    [[gnu::always_inline]] SinglePhaseCell(const TableSource &tables, Extended p, Extended t, std::uint8_t *scratch)
        : p_(double(p)) {
        const SinglePhasePressureGrid &grid = SinglePhasePressures();
        isobar_ = FirstSinglePhasePointAbove(p);
        // t is a Real48 value, which a double holds exactly: truncating the
        // double is truncating t, without touching the x87 rounding mode.
        entry_ = int(double(t)) / kEntryStep;
        const std::uint64_t record = std::uint64_t(isobar_ - 2) * kIsobarEntries + entry_;
        const ByteSpan spans[2] = {{record * kEntrySize, 2 * kEntrySize},
                                   {(record + kIsobarEntries) * kEntrySize, 2 * kEntrySize}};
        if (const std::uint8_t *whole = CompleteTable(tables, Table::SinglePhase)) {
            atP0_ = whole + spans[0].offset;
            atP1_ = whole + spans[1].offset;
        } else if (tables.view) {
            atP0_ = SpanBytes(tables, Table::SinglePhase, spans[0], scratch);
            atP1_ = SpanBytes(tables, Table::SinglePhase, spans[1], scratch + 2 * kEntrySize);
        } else {
            // One open of the file for both spans.
            ReadSpans(tables, Table::SinglePhase, spans, 2, scratch);
            atP0_ = scratch;
            atP1_ = scratch + 2 * kEntrySize;
        }
        p0_ = grid.point[isobar_ - 1];
        p1_ = grid.point[isobar_];
        t0_ = kEntryStep * entry_;
        t1_ = kEntryStep * entry_ + kEntryStep;
        // The weight of p between the isobars, which rise strictly.
        weight_ = (p_ - p0_) / (p1_ - p0_);
        safe_ = AllSafeSingles(atP0_, 2 * kEntryValues) && AllSafeSingles(atP1_, 2 * kEntryValues);
        if (!safe_)
            for (int c = 0; c < 4; ++c)
                for (int q = 0; q < kEntryValues; ++q) (void)ValueAt(Entry(c), q);
    }
    SinglePhaseCell(const SinglePhaseCell &) = delete;
    SinglePhaseCell &operator=(const SinglePhaseCell &) = delete;

    bool safe() const { return safe_; }
    int isobar() const { return isobar_; }
    int entry() const { return entry_; }
    double t0() const { return t0_; }
    double t1() const { return t1_; }

    [[gnu::always_inline]] Extended Bilinear(Extended t, int q) const {
        return InterpolateCell(t, p_, t0_, p0_, t1_, p1_, Corner(0, q), Corner(1, q), Corner(2, q), Corner(3, q));
    }

    // Outputs in the order volume, entropy, enthalpy.
    // Written straight into the caller's state: an extended value crosses
    // memory slowly.
    [[gnu::always_inline]] void BilinearState(Extended t, unsigned wanted, SinglePhaseValues *state) const {
        if (wanted & kWantVolume) state->volume = Bilinear(t, kVolumeColumn);
        if (wanted & kWantEntropy) state->entropy = Bilinear(t, kEntropyColumn);
        if (wanted & kWantEnthalpy) state->enthalpy = Bilinear(t, kEnthalpyColumn);
    }

    // A property at the cell's lower (low = true) or upper temperature,
    // interpolated in pressure; exactly, or roughly (safe cells only).
    Extended AlongPressure(bool low, int q) const {
        const int c = low ? 0 : 1;
        return Interpolate(p_, p0_, p1_, Corner(c, q), Corner(c + 2, q));
    }
    Rough RoughAlongPressure(bool low, int q) const {
        const int offset = low ? 0 : kEntrySize;
        return RoughInterpolate(weight_, atP0_ + offset, atP1_ + offset, q);
    }

private:
    const std::uint8_t *Entry(int c) const { return (c < 2 ? atP0_ : atP1_) + (c % 2) * kEntrySize; }
    Extended Corner(int c, int q) const { return safe_ ? SafeValueAt(Entry(c), q) : ValueAt(Entry(c), q); }

    // A Real48 value, grid pressures (singles) and grid temperatures, which
    // a double holds exactly and which enter the arithmetic faster from one.
    double p_, p0_ = 0, p1_ = 0, t0_ = 0, t1_ = 0;
    double weight_;
    int isobar_, entry_;
    bool safe_;
    const std::uint8_t *atP0_, *atP1_;  // the entries at t0 and t1 on each isobar
};

// Whether t lies within the band around the saturation temperature, where
// the lookup refuses; sets the side of the line the state lies on.
template <class Decide>
bool OnSaturationLine(SaturationPoint &sat, Extended t, LookupPath *path) {
    if (Decide::kBoundFirst && sat.bounded()) {
        const Rough ts = sat.rough(kSaturationLevel);
        // The band's decimal is the same in double and extended to far
        // within 2^-30.
        if (std::fabs(ts.value - double(t)) >= double(kSaturationBand) + ts.error + 0x1p-30) {
            path->vapour = double(t) > ts.value;
            return false;
        }
    }
    path->exactFallback = true;
    const Extended ts = sat.field(kSaturationLevel);
    path->vapour = t > ts;
    return std::fabs(ts - t) < kSaturationBand;
}

// Whether the saturation line crosses the cell at p: the saturated liquid's
// enthalpy lies strictly between those of the cell's two temperatures.
template <class Decide>
bool LineCrossesCell(const SinglePhaseCell &cell, SaturationPoint &sat, LookupPath *path) {
    if (Decide::kBoundFirst && cell.safe() && sat.bounded()) {
        const Rough hT0 = cell.RoughAlongPressure(true, kEnthalpyColumn);
        const Rough hT1 = cell.RoughAlongPressure(false, kEnthalpyColumn);
        const Rough hf = sat.rough(kLiquidEnthalpy);
        if (hf.value + hf.error < hT0.value - hT0.error || hf.value - hf.error > hT1.value + hT1.error)
            return false;
    }
    path->exactFallback = true;
    const Extended hT0 = cell.AlongPressure(true, kEnthalpyColumn);
    const Extended hT1 = cell.AlongPressure(false, kEnthalpyColumn);
    const Extended hf = sat.field(kLiquidEnthalpy);
    return !(hf <= hT0 || hf >= hT1);
}

// The saturation line crosses the cell: interpolate between the grid
// temperature on the state's side and the saturated state, never across
// the line.
void BesideTheLine(const SinglePhaseCell &cell, SaturationPoint &sat, Extended t, unsigned wanted,
                   SinglePhaseValues *state) {
    const Extended ts = sat.field(kSaturationLevel);
    const bool liquid = t <= ts;
    auto along = [&](int column, int liquidField) {
        const Extended grid = cell.AlongPressure(liquid, column);
        const Extended saturated = sat.field(liquidField + (liquid ? 0 : 1));
        return liquid ? Interpolate(t, cell.t0(), ts, grid, saturated)
                      : Interpolate(t, ts, cell.t1(), saturated, grid);
    };
    if (wanted & kWantVolume) state->volume = along(kVolumeColumn, kLiquidVolume);
    if (wanted & kWantEntropy) state->entropy = along(kEntropyColumn, kLiquidEntropy);
    if (wanted & kWantEnthalpy) state->enthalpy = along(kEnthalpyColumn, kLiquidEnthalpy);
}

void Report(const SinglePhaseCell &cell, LookupPath *path) {
    path->isobar = cell.isobar();
    path->lowerEntry = cell.entry();
    path->upperEntry = cell.entry() + 1;
}

}  // namespace

template <class Decide>
bool LookupPT(const TableSource &tables, Extended p, Extended t, unsigned wanted,
                                       SinglePhaseValues *state, LookupPath *path) {
    LookupPath unused;
    if (!path) path = &unused;
    MoveInsideTheGrid(&p, &t);
    path->pressure = p;
    path->temperature = t;

    if (p > kCriticalPressure) {
        std::uint8_t scratch[kCellBytes];
        const SinglePhaseCell cell(tables, p, t, scratch);
        Report(cell, path);
        path->vapour = t >= kCriticalTemperature;
        state->side = LineSide::AboveCritical;
        cell.BilinearState(t, cell.safe() ? wanted : kWantAllProperties, state);
        return true;
    }

    path->belowCritical = true;
    SaturationPoint sat = SaturationAtPressure(tables, p);
    if (OnSaturationLine<Decide>(sat, t, path)) return false;
    state->side = path->vapour ? LineSide::Vapour : LineSide::Liquid;
    if (path->wantsPlace) PlaceOnTheLine(sat, path);

    std::uint8_t scratch[kCellBytes];
    const SinglePhaseCell cell(tables, p, t, scratch);
    Report(cell, path);
    if (!cell.safe() || !sat.safe()) wanted = kWantAllProperties;
    path->straddling = LineCrossesCell<Decide>(cell, sat, path);
    if (path->straddling)
        BesideTheLine(cell, sat, t, wanted, state);
    else
        cell.BilinearState(t, wanted, state);
    return true;
}

template bool LookupPT<ExactDecisions>(const TableSource &, Extended, Extended, unsigned, SinglePhaseValues *,
                                       LookupPath *);
template bool LookupPT<BoundedDecisions>(const TableSource &, Extended, Extended, unsigned, SinglePhaseValues *,
                                         LookupPath *);

}  // namespace rudid
