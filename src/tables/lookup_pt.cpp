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
    Real48 p0, p1, t0, t1;
    Real48 corner[4][3];
};

Cell ReadCell(const TableSource &tables, Real48 p, Real48 t) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int k = FirstSinglePhasePointAbove(Real48ToExtended(p));
    const int column = int(Real48ToExtended(t)) / 10;

    const std::uint64_t record = std::uint64_t(k - 2) * kIsobarEntries + column;
    const ByteSpan spans[2] = {{record * kEntrySize, 2 * kEntrySize},
                               {(record + kIsobarEntries) * kEntrySize, 2 * kEntrySize}};
    std::uint8_t entries[4 * kEntrySize];
    ReadSpans(tables, Table::SinglePhase, spans, 2, entries);

    Cell cell;
    cell.p0 = SingleToReal48(grid.point[k - 1]);
    cell.p1 = SingleToReal48(grid.point[k]);
    cell.t0 = WholeNumber(10 * column);
    cell.t1 = WholeNumber(10 * column + 10);
    for (int c = 0; c < 4; ++c)
        for (int q = 0; q < 3; ++q) cell.corner[c][q] = Real48At(entries + c * kEntrySize, q);
    return cell;
}

Real48 Bilinear(const Cell &cell, Real48 p, Real48 t, int q) {
    return InterpolateBilinear(t, p, cell.t0, cell.p0, cell.t1, cell.p1, cell.corner[0][q],
                               cell.corner[1][q], cell.corner[2][q], cell.corner[3][q]);
}

SinglePhaseState BilinearState(const Cell &cell, Real48 p, Real48 t) {
    SinglePhaseState state;
    state.volume = Bilinear(cell, p, t, kVolumeColumn);
    state.entropy = Bilinear(cell, p, t, kEntropyColumn);
    state.enthalpy = Bilinear(cell, p, t, kEnthalpyColumn);
    return state;
}

// A property at the cell's lower (low = true) or upper temperature,
// interpolated in pressure.
Real48 AlongPressure(const Cell &cell, Real48 p, bool low, int q) {
    const int c = low ? 0 : 1;
    return InterpolateLinear(p, cell.p0, cell.p1, cell.corner[c][q], cell.corner[c + 2][q]);
}

}  // namespace

int LookupPT(const TableSource &tables, Real48 p, Real48 t, SinglePhaseState *state) {
    if (Real48ToExtended(p) == 1000) p = kJustBelow1000;
    if (Real48ToExtended(t) == 800) t = kJustBelow800;

    if (Real48ToExtended(p) > kCriticalPressure) {
        *state = BilinearState(ReadCell(tables, p, t), p, t);
        return 0;
    }

    const SaturationState sat = SaturationByPressure(tables, p);
    const Real48 ts = sat.field[kSaturationLevel];
    const Extended offLine = Real48ToExtended(ts) - Real48ToExtended(t);
    if ((offLine < 0 ? -offLine : offLine) < 0.001L) return 1;

    const Cell cell = ReadCell(tables, p, t);
    const Real48 hT0 = AlongPressure(cell, p, true, kEnthalpyColumn);
    const Real48 hT1 = AlongPressure(cell, p, false, kEnthalpyColumn);
    const Extended hf = Real48ToExtended(sat.field[kLiquidEnthalpy]);
    if (hf <= Real48ToExtended(hT0) || hf >= Real48ToExtended(hT1)) {
        *state = BilinearState(cell, p, t);
        return 0;
    }

    // The saturation line crosses the cell: interpolate between the grid
    // temperature on the state's side and the saturated state, never across
    // the line.
    SinglePhaseState result;
    if (Real48ToExtended(t) <= Real48ToExtended(ts)) {
        const Real48 sT0 = AlongPressure(cell, p, true, kEntropyColumn);
        const Real48 vT0 = AlongPressure(cell, p, true, kVolumeColumn);
        result.volume = InterpolateLinear(t, cell.t0, ts, vT0, sat.field[kLiquidVolume]);
        result.entropy = InterpolateLinear(t, cell.t0, ts, sT0, sat.field[kLiquidEntropy]);
        result.enthalpy = InterpolateLinear(t, cell.t0, ts, hT0, sat.field[kLiquidEnthalpy]);
    } else {
        const Real48 sT1 = AlongPressure(cell, p, false, kEntropyColumn);
        const Real48 vT1 = AlongPressure(cell, p, false, kVolumeColumn);
        result.volume = InterpolateLinear(t, ts, cell.t1, sat.field[kVapourVolume], vT1);
        result.entropy = InterpolateLinear(t, ts, cell.t1, sat.field[kVapourEntropy], sT1);
        result.enthalpy = InterpolateLinear(t, ts, cell.t1, sat.field[kVapourEnthalpy], hT1);
    }
    *state = result;
    return 0;
}

}  // namespace rudid
