#include "tables/lookup_pt.h"

#include "tables/interpolation.h"
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
};

Cell ReadCell(const TableSource &tables, Extended p, Extended t) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(p);
    const int column = int(t) / 10;

    const std::uint64_t record = std::uint64_t(k - 2) * kIsobarEntries + column;
    const ByteSpan spans[2] = {{record * kEntrySize, 2 * kEntrySize},
                               {(record + kIsobarEntries) * kEntrySize, 2 * kEntrySize}};
    std::uint8_t entries[4 * kEntrySize];
    ReadSpans(tables, Table::SinglePhase, spans, 2, entries);

    Cell cell;
    cell.p0 = grid.point[k - 1];
    cell.p1 = grid.point[k];
    cell.t0 = 10 * column;
    cell.t1 = 10 * column + 10;
    for (int c = 0; c < 4; ++c)
        for (int q = 0; q < 3; ++q) cell.corner[c][q] = ValueAt(entries + c * kEntrySize, q);
    return cell;
}

Extended Bilinear(const Cell &cell, Extended p, Extended t, int q) {
    return InterpolateCell(t, p, cell.t0, cell.p0, cell.t1, cell.p1, cell.corner[0][q], cell.corner[1][q],
                           cell.corner[2][q], cell.corner[3][q]);
}

SinglePhaseValues BilinearState(const Cell &cell, Extended p, Extended t) {
    SinglePhaseValues state;
    state.volume = Bilinear(cell, p, t, kVolumeColumn);
    state.entropy = Bilinear(cell, p, t, kEntropyColumn);
    state.enthalpy = Bilinear(cell, p, t, kEnthalpyColumn);
    return state;
}

// A property at the cell's lower (low = true) or upper temperature,
// interpolated in pressure.
Extended AlongPressure(const Cell &cell, Extended p, bool low, int q) {
    const int c = low ? 0 : 1;
    return Interpolate(p, cell.p0, cell.p1, cell.corner[c][q], cell.corner[c + 2][q]);
}

}  // namespace

int LookupPT(const TableSource &tables, Real48 p, Real48 t, SinglePhaseState *state) {
    SinglePhaseValues values;
    const int err = LookupPTValues(tables, Real48ToExtended(p), Real48ToExtended(t), &values);
    if (err == 0)
        *state = {ExtendedToReal48(values.volume), ExtendedToReal48(values.enthalpy),
                  ExtendedToReal48(values.entropy)};
    return err;
}

int LookupPTValues(const TableSource &tables, Extended p, Extended t, SinglePhaseValues *state) {
    if (p == 1000) p = Real48ToExtended(kJustBelow1000);
    if (t == 800) t = Real48ToExtended(kJustBelow800);

    if (p > kCriticalPressure) {
        *state = BilinearState(ReadCell(tables, p, t), p, t);
        return 0;
    }

    const SaturationValues sat = SaturationValuesByPressure(tables, p);
    const Extended ts = sat.field[kSaturationLevel];
    if (std::fabs(ts - t) < 0.001L) return 1;

    const Cell cell = ReadCell(tables, p, t);
    const Extended hT0 = AlongPressure(cell, p, true, kEnthalpyColumn);
    const Extended hT1 = AlongPressure(cell, p, false, kEnthalpyColumn);
    const Extended hf = sat.field[kLiquidEnthalpy];
    if (hf <= hT0 || hf >= hT1) {
        *state = BilinearState(cell, p, t);
        return 0;
    }

    // The saturation line crosses the cell: interpolate between the grid
    // temperature on the state's side and the saturated state, never across
    // the line.
    SinglePhaseValues result;
    if (t <= ts) {
        const Extended sT0 = AlongPressure(cell, p, true, kEntropyColumn);
        const Extended vT0 = AlongPressure(cell, p, true, kVolumeColumn);
        result.volume = Interpolate(t, cell.t0, ts, vT0, sat.field[kLiquidVolume]);
        result.entropy = Interpolate(t, cell.t0, ts, sT0, sat.field[kLiquidEntropy]);
        result.enthalpy = Interpolate(t, cell.t0, ts, hT0, sat.field[kLiquidEnthalpy]);
    } else {
        const Extended sT1 = AlongPressure(cell, p, false, kEntropyColumn);
        const Extended vT1 = AlongPressure(cell, p, false, kVolumeColumn);
        result.volume = Interpolate(t, ts, cell.t1, sat.field[kVapourVolume], vT1);
        result.entropy = Interpolate(t, ts, cell.t1, sat.field[kVapourEntropy], sT1);
        result.enthalpy = Interpolate(t, ts, cell.t1, sat.field[kVapourEnthalpy], hT1);
    }
    *state = result;
    return 0;
}

}  // namespace rudid
