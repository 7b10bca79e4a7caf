#include "tables/lookup_pt.h"

#include "common/interpolation.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_pressure.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// The four corners of a cell: [0] (t0, p0), [1] (t1, p0), [2] (t0, p1),
// [3] (t1, p1), each v, h, s.
struct Cell {
    Extended p0, p1, t0, t1;
    Extended corner[4][3];
    bool safe;  // every corner value finite and below 2^126
};

Cell ReadCell(const TableSource &tables, Extended p, Extended t) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(p);
    // t is a Real48 value, which a double holds exactly: truncating the
    // double is truncating t, without touching the x87 rounding mode.
    const int column = int(double(t)) / kEntryStep;

    const std::uint64_t record = std::uint64_t(k - 2) * kIsobarEntries + column;
    const ByteSpan spans[2] = {{record * kEntrySize, 2 * kEntrySize},
                               {(record + kIsobarEntries) * kEntrySize, 2 * kEntrySize}};
    // The two entries at each pressure, at t0 and t1.
    std::uint8_t scratch[4 * kEntrySize];
    const std::uint8_t *atP0 = scratch, *atP1 = scratch + 2 * kEntrySize;
    if (tables.view || tables.completeTables) {
        atP0 = SpanBytes(tables, Table::SinglePhase, spans[0], scratch);
        atP1 = SpanBytes(tables, Table::SinglePhase, spans[1], scratch + 2 * kEntrySize);
    } else {
        ReadSpans(tables, Table::SinglePhase, spans, 2, scratch);
    }

    Cell cell;
    cell.p0 = grid.point[k - 1];
    cell.p1 = grid.point[k];
    cell.t0 = kEntryStep * column;
    cell.t1 = kEntryStep * column + kEntryStep;
    cell.safe = true;
    for (int c = 0; c < 4; ++c)
        for (int q = 0; q < 3; ++q) {
            const std::uint8_t *entry = (c < 2 ? atP0 : atP1) + (c % 2) * kEntrySize;
            cell.corner[c][q] = ValueAt(entry, q);
            cell.safe = cell.safe && IsSafeSingle(SingleAt(entry, q));
        }
    return cell;
}

Extended Bilinear(const Cell &cell, Extended p, Extended t, int q) {
    return InterpolateCell(t, p, cell.t0, cell.p0, cell.t1, cell.p1, cell.corner[0][q], cell.corner[1][q],
                           cell.corner[2][q], cell.corner[3][q]);
}

// Outputs in the order volume, entropy, enthalpy.
SinglePhaseValues BilinearState(const Cell &cell, Extended p, Extended t, unsigned wanted) {
    SinglePhaseValues state{};
    if (wanted & kWantVolume) state.volume = Bilinear(cell, p, t, kVolumeColumn);
    if (wanted & kWantEntropy) state.entropy = Bilinear(cell, p, t, kEntropyColumn);
    if (wanted & kWantEnthalpy) state.enthalpy = Bilinear(cell, p, t, kEnthalpyColumn);
    return state;
}

// A property at the cell's lower (low = true) or upper temperature,
// interpolated in pressure.
Extended AlongPressure(const Cell &cell, Extended p, bool low, int q) {
    const int c = low ? 0 : 1;
    return Interpolate(p, cell.p0, cell.p1, cell.corner[c][q], cell.corner[c + 2][q]);
}

}  // namespace

bool LookupPT(const TableSource &tables, Extended p, Extended t, unsigned wanted, SinglePhaseValues *state) {
    if (p == 1000) p = Real48ToExtended(kJustBelow1000);
    if (t == 800) t = Real48ToExtended(kJustBelow800);

    if (p > kCriticalPressure) {
        const Cell cell = ReadCell(tables, p, t);
        *state = BilinearState(cell, p, t, cell.safe ? wanted : kWantAllProperties);
        return true;
    }

    SaturationPoint sat = SaturationAtPressure(tables, p);
    const Extended ts = sat.field(kSaturationLevel);
    if (std::fabs(ts - t) < 0.001L) return false;

    const Cell cell = ReadCell(tables, p, t);
    if (!cell.safe || !sat.safe()) wanted = kWantAllProperties;
    const Extended hT0 = AlongPressure(cell, p, true, kEnthalpyColumn);
    const Extended hT1 = AlongPressure(cell, p, false, kEnthalpyColumn);
    const Extended hf = sat.field(kLiquidEnthalpy);
    if (hf <= hT0 || hf >= hT1) {
        *state = BilinearState(cell, p, t, wanted);
        return true;
    }

    // The saturation line crosses the cell: interpolate between the grid
    // temperature on the state's side and the saturated state, never across
    // the line.
    SinglePhaseValues result{};
    if (t <= ts) {
        if (wanted & kWantVolume)
            result.volume = Interpolate(t, cell.t0, ts, AlongPressure(cell, p, true, kVolumeColumn),
                                        sat.field(kLiquidVolume));
        if (wanted & kWantEntropy)
            result.entropy = Interpolate(t, cell.t0, ts, AlongPressure(cell, p, true, kEntropyColumn),
                                         sat.field(kLiquidEntropy));
        if (wanted & kWantEnthalpy) result.enthalpy = Interpolate(t, cell.t0, ts, hT0, hf);
    } else {
        if (wanted & kWantVolume)
            result.volume = Interpolate(t, ts, cell.t1, sat.field(kVapourVolume),
                                        AlongPressure(cell, p, false, kVolumeColumn));
        if (wanted & kWantEntropy)
            result.entropy = Interpolate(t, ts, cell.t1, sat.field(kVapourEntropy),
                                         AlongPressure(cell, p, false, kEntropyColumn));
        if (wanted & kWantEnthalpy)
            result.enthalpy = Interpolate(t, ts, cell.t1, sat.field(kVapourEnthalpy), hT1);
    }
    *state = result;
    return true;
}

}  // namespace rudid
