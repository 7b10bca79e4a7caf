#include "tables/fast_rows.h"

#include <cmath>

#include "common/interpolation.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_temperature.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// The two saturation records around x, interpolated field by field.
FastRow SaturationFields(const std::uint8_t *records, Extended x, Extended x0, Extended x1, int first, int count,
                         Extended *fields) {
    if (!AllSafeSingles(records, 2 * kSaturationFields)) return FastRow::Generic;
    const std::uint8_t *above = records + kSaturationRecordSize;
    for (int i = 0; i < count; ++i)
        fields[i] = Interpolate(x, x0, x1, SafeValueAt(records, first + i), SafeValueAt(above, first + i));
    return FastRow::Answered;
}

}  // namespace

FastRow FastSaturationAtPressure(const TableSource &tables, Extended p, int first, int count, Extended *fields) {
    const std::uint8_t *table = CompleteTable(tables, Table::SaturationOnPressureGrid);
    if (!table) return FastRow::Generic;
    const SaturationPressureGrid &grid = SaturationPressures();
    const int k = FirstSaturationPointAbove(p);
    return SaturationFields(table + std::size_t(k - 2) * kSaturationRecordSize, p, grid.value[k - 1], grid.value[k],
                            first, count, fields);
}

FastRow FastSaturationAtTemperature(const TableSource &tables, Extended t, int first, int count, Extended *fields) {
    const std::uint8_t *table = CompleteTable(tables, Table::SaturationOnTemperatureGrid);
    // The fixed states at and just above 0 degC are the generic lookup's.
    if (!table || t < 0.01L) return FastRow::Generic;
    const int n = int(double(t));
    const Extended t1 = t > 374 ? Real48ToExtended(kLastRecordTemperature) : Extended(n + 1);
    return SaturationFields(table + std::size_t(n + 1) * kSaturationRecordSize, t, Extended(n), t1, first, count,
                            fields);
}

FastRow FastSinglePhase(const TableSource &tables, Extended p, Extended t, int column, Extended *result) {
    const std::uint8_t *singlePhase = CompleteTable(tables, Table::SinglePhase);
    if (!singlePhase) return FastRow::Generic;
    if (p == 1000) p = Real48ToExtended(kJustBelow1000);
    if (t == 800) t = Real48ToExtended(kJustBelow800);

    const bool subcritical = !(p > kCriticalPressure);
    const std::uint8_t *saturation = nullptr, *saturationAbove = nullptr;
    Extended ps0 = 0, ps1 = 0;
    double ws = 0;  // the weight of p between the saturation records
    if (subcritical) {
        const std::uint8_t *table = CompleteTable(tables, Table::SaturationOnPressureGrid);
        if (!table) return FastRow::Generic;
        const SaturationPressureGrid &grid = SaturationPressures();
        const int k = FirstSaturationPointAbove(p);
        saturation = table + std::size_t(k - 2) * kSaturationRecordSize;
        saturationAbove = saturation + kSaturationRecordSize;
        if (!AllSafeSingles(saturation, 2 * kSaturationFields)) return FastRow::Generic;
        ps0 = grid.value[k - 1];
        ps1 = grid.value[k];
        ws = (double(p) - grid.value[k - 1]) / (grid.value[k] - grid.value[k - 1]);
        // The refusal within 0.001 degC of the saturation temperature,
        // decided on the rough temperature where that is certain.
        const Rough ts = RoughInterpolate(ws, saturation, saturationAbove, kSaturationLevel);
        if (!(std::fabs(ts.value - double(t)) >= 0.001 + ts.error + 0x1p-30)) {
            const Extended exact = Interpolate(p, ps0, ps1, SafeValueAt(saturation, kSaturationLevel),
                                               SafeValueAt(saturationAbove, kSaturationLevel));
            if (std::fabs(exact - t) < 0.001L) return FastRow::Refused;
        }
    }

    // The cell: the entries at t0 and t1 on the isobars at p0 and p1.
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int j = FirstSinglePhasePointAbove(p);
    const int entry = int(double(t)) / kEntryStep;
    const std::uint8_t *atP0 = singlePhase + (std::size_t(j - 2) * kIsobarEntries + entry) * kEntrySize;
    const std::uint8_t *atP1 = atP0 + kIsobarSize;
    if (!(AllSafeSingles(atP0, 2 * kEntryValues) && AllSafeSingles(atP1, 2 * kEntryValues))) return FastRow::Generic;
    const Extended p0 = grid.point[j - 1], p1 = grid.point[j];
    const Extended t0 = kEntryStep * entry, t1 = kEntryStep * entry + kEntryStep;

    if (subcritical) {
        // The generic lookup interpolates around the saturation line when
        // the line crosses the cell: when hT0 < hf < hT1. Decided on rough
        // values where that is certain.
        const double w = (double(p) - grid.point[j - 1]) / (double(grid.point[j]) - grid.point[j - 1]);
        const Rough hT0 = RoughInterpolate(w, atP0, atP1, kEnthalpyColumn);
        const Rough hT1 = RoughInterpolate(w, atP0 + kEntrySize, atP1 + kEntrySize, kEnthalpyColumn);
        const Rough hf = RoughInterpolate(ws, saturation, saturationAbove, kLiquidEnthalpy);
        const bool clearlyOutside = hf.value + hf.error < hT0.value - hT0.error ||
                                    hf.value - hf.error > hT1.value + hT1.error;
        if (!clearlyOutside) {
            const Extended exactT0 = Interpolate(p, p0, p1, SafeValueAt(atP0, kEnthalpyColumn),
                                                 SafeValueAt(atP1, kEnthalpyColumn));
            const Extended exactT1 = Interpolate(p, p0, p1, SafeValueAt(atP0 + kEntrySize, kEnthalpyColumn),
                                                 SafeValueAt(atP1 + kEntrySize, kEnthalpyColumn));
            const Extended exactF = Interpolate(p, ps0, ps1, SafeValueAt(saturation, kLiquidEnthalpy),
                                                SafeValueAt(saturationAbove, kLiquidEnthalpy));
            if (!(exactF <= exactT0 || exactF >= exactT1)) return FastRow::Generic;
        }
    }
    *result = InterpolateCell(t, p, t0, p0, t1, p1, SafeValueAt(atP0, column), SafeValueAt(atP0 + kEntrySize, column),
                              SafeValueAt(atP1, column), SafeValueAt(atP1 + kEntrySize, column));
    return FastRow::Answered;
}

}  // namespace rudid
