#include "tables/state_flags.h"

#include <algorithm>
#include <cmath>

#include "tables/cell_facts.h"
#include "tables/pressure_grids.h"
#include "tables/saturation_by_pressure.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

bool Coarse(Extended error, Extended scale) { return error > kCoarseShare * scale; }

// The saturation line at the place's pressure: its temperature and how far
// each interpolated field may be off. The temperature is the lookup's
// estimate where it left one (error > 0); the interpolation itself is
// worked out only where the estimate cannot decide, the same one the
// lookup makes at the same pressure.
struct Line {
    Extended temperature = 0;
    Extended weight = 0;
    const SaturationFacts *facts = nullptr;
    double error = 0;
    const TableSource *tables = nullptr;
    Extended pressure = 0;

    Extended Error(int field) const { return facts->across[field].At(weight); }
    Extended Temperature() const {
        return error == 0 ? temperature : SaturationAtPressure(*tables, pressure).field(kSaturationLevel);
    }
    bool Near(Extended t) const {
        const Extended margin = kSaturationMarginFactor * Error(kSaturationLevel) + kSaturationMarginFloor;
        if (error != 0) {
            // The margin's arithmetic is the same in both to far within 2^-30.
            const Extended apart = std::fabs(t - temperature);
            if (apart - error > margin + 0x1p-30) return false;
            if (apart + error < margin - 0x1p-30) return true;
        }
        return std::fabs(t - Temperature()) < margin;
    }
};

// fields: the saturation fields whose errors the row weighs, besides the
// temperature.
Line LineAt(const FactSource &source, const LookupPath &place, unsigned fields, SaturationFacts *scratch) {
    return Line{place.saturationTemperature, place.saturationWeight,
                &SaturationIntervalAt(source, place.saturationRecord, fields | 1u << kSaturationLevel, scratch),
                place.saturationError, &source.tables, place.pressure};
}

// Whether the table points that the lookup interpolated are of another
// phase than the state: beside the line only the entry on the state's side
// counts.
bool Mixed(const CellFacts &cell, const LookupPath &place) {
    const bool liquid = !place.vapour;
    auto ofPhase = [&](int n) { return cell.Liquid(0, n) == liquid && cell.Liquid(1, n) == liquid; };
    const bool useLower = !place.straddling || liquid;
    const bool useUpper = !place.straddling || !liquid;
    return (useLower && !ofPhase(0)) || (useUpper && !ofPhase(1));
}

// One column of the cell of the place, with where the state lies in it.
struct InCell {
    const CellFacts &facts;
    Extended pressureWeight;  // of the pressure between the cell's isobars
    Extended low, high;     // the interval's ends: entries, or the saturation temperature
};

Extended PressureWeight(const LookupPath &place) {
    const float *point = SinglePhasePressures().point;
    const Extended p0 = point[place.isobar - 1], p1 = point[place.isobar];
    return (place.pressure - p0) / (p1 - p0);
}

// How far a column interpolated at t may be off: the larger error across
// the isobars of the interval's two ends, plus the bend along the isobar.
Extended ColumnError(const InCell &cell, const LookupPath &place, const Line &line, int column, Extended t) {
    const Extended across[2] = {cell.facts.acrossIsobars[0].At(cell.pressureWeight),
                                cell.facts.acrossIsobars[1].At(cell.pressureWeight)};
    const Extended width = std::max(Extended(0), (t - cell.low) * (cell.high - t));
    const Extended w = cell.pressureWeight;
    const Extended along = std::fabs((1 - w) * cell.facts.alongIsobar[0] + w * cell.facts.alongIsobar[1]);
    if (!place.straddling) return std::max(across[0], across[1]) + along * width;
    const int side = place.vapour ? 1 : 0;
    const Extended saturated = line.Error(LiquidFieldOf(column) + side);
    return std::max(across[side], saturated) + cell.facts.besideLine[side] * width;
}

// The interval of the cell that the place interpolated in, whose facts
// are given.
InCell CellOf(const CellFacts &facts, const LookupPath &place, const Line &line) {
    InCell cell{facts, PressureWeight(place), Extended(kEntryStep * place.lowerEntry),
                Extended(kEntryStep * place.lowerEntry + kEntryStep)};
    if (place.straddling) (place.vapour ? cell.low : cell.high) = line.Temperature();
    return cell;
}

InCell CellOf(const FactSource &source, const LookupPath &place, const Line &line, int column, CellFacts *scratch) {
    return CellOf(CellAt(source, place.isobar, place.lowerEntry, column, scratch, false), place, line);
}

unsigned WetFlags(const Line &line, const LookupPath &place, const KeyVariant &kv, Extended k, int output) {
    unsigned flags = place.pressure >= kCriticalBoxLowPressure ? kCriticalRegion : 0u;
    const Extended kf = place.saturated[0][0], kg = place.saturated[1][0];
    const Extended kfError = line.Error(kv.keyLiquid), kgError = line.Error(kv.keyVapour);
    if (k - kf <= kSaturationMarginFactor * kfError || kg - k <= kSaturationMarginFactor * kgError)
        flags |= kNearSaturation;
    // The quality inherits the uncertainty of both saturated keys; a
    // property of the mixture, that of its own saturated values and the
    // quality's times their difference.
    const Extended x = kg == kf ? 0 : (k - kf) / (kg - kf);
    const Extended qualityError = kg == kf ? 0 : ((1 - x) * kfError + x * kgError) / (kg - kf);
    if (output == 3 && qualityError > kCoarseShare) flags |= kCoarseGrid;
    if (output == 1 || output == 2) {
        const int column = output == 1 ? kv.secondColumn : kv.thirdColumn;
        const int f = output == 1 ? kv.secondLiquid : kv.thirdLiquid;
        const Extended yf = place.saturated[0][output], yg = place.saturated[1][output];
        const Extended error = (1 - x) * line.Error(f) + x * line.Error(f + 1) + std::fabs(yg - yf) * qualityError;
        if (Coarse(error, ColumnScale(column, (1 - x) * yf + x * yg))) flags |= kCoarseGrid;
    }
    return flags;
}

// Above the critical pressure the quality says on which side of a fixed
// critical key the state lies; where the saturated keys just below the
// critical pressure still differ, that side is uncertain.
bool UncertainSide(const TableSource &tables, const KeyVariant &kv, Extended k) {
    const int last = kSaturationGridPoints - 2;
    return SaturationRecordField(tables, last, kv.keyLiquid) <= k &&
           k <= SaturationRecordField(tables, last, kv.keyVapour);
}

// The coarse-grid flag of an inverse answer at t: the error of the key
// becomes an error of the temperature through the interval's slope, and of
// an output property through that property's slope as well.
unsigned InverseCoarseGrid(const FactSource &source, const InCell &cell, const LookupPath &place, const Line &line,
                           const KeyVariant &kv, int output, Extended t, Extended value) {
    const double *a = place.end[0], *b = place.end[1];
    if (!place.straddling && cell.facts.turns) return kCoarseGrid;
    const Extended keyError = ColumnError(cell, place, line, kv.keyColumn, t);
    if (a[0] == b[0]) return keyError > 0 ? kCoarseGrid : 0u;
    const Extended temperatureError = std::fabs((Extended(b[1]) - a[1]) / (Extended(b[0]) - a[0])) * keyError;
    if (output == 0) return Coarse(temperatureError, t + kCelsiusZero) ? kCoarseGrid : 0u;
    const int column = output == 1 ? kv.secondColumn : kv.thirdColumn;
    const Extended slope = b[1] == a[1] ? 0 : (Extended(b[1 + output]) - a[1 + output]) / (Extended(b[1]) - a[1]);
    CellFacts scratch;
    const InCell outputCell = CellOf(source, place, line, column, &scratch);
    const Extended error = ColumnError(outputCell, place, line, column, t) + std::fabs(slope) * temperatureError;
    return Coarse(error, ColumnScale(column, value)) ? kCoarseGrid : 0u;
}

}  // namespace

unsigned PressureTemperatureFlags(const FactSource &source, int column, const LookupPath &place, Extended value) {
    if (source.memo && source.memo->Quiet(column, place.isobar, place.lowerEntry)) return 0;
    CellFacts cellScratch;
    const CellFacts &facts = CellAt(source, place.isobar, place.lowerEntry, column, &cellScratch, true);
    if (facts.quiet) return 0;
    SaturationFacts lineScratch;
    const Line line =
        place.belowCritical ? LineAt(source, place, 1u << LiquidFieldOf(column), &lineScratch) : Line{};
    const InCell cell = CellOf(facts, place, line);
    unsigned flags = cell.facts.critical ? kCriticalRegion : 0u;
    const Extended t = place.temperature;
    if (place.belowCritical) {
        if (line.Near(t)) flags |= kNearSaturation;
        if (Mixed(cell.facts, place)) return flags | kMixedPhaseCell;
    }
    if (Coarse(ColumnError(cell, place, line, column, t), ColumnScale(column, value))) flags |= kCoarseGrid;
    return flags;
}

unsigned InverseFlags(const FactSource &source, InverseKey key, int output, Extended k, const LookupPath &place,
                      Extended value) {
    const KeyVariant &kv = VariantOf(key);
    if (!place.twoPhase && !place.straddling && output < 3 && source.memo && place.isobar > 0 &&
        place.lowerEntry >= 0) {
        if (source.memo->InverseQuiet(kv.keyColumn, place.isobar, place.lowerEntry)) return 0;
        LearnInverseQuiet(source, place.isobar, place.lowerEntry, kv.keyColumn, kv.secondColumn, kv.thirdColumn);
    }
    SaturationFacts lineScratch;
    const unsigned fields = 1u << kv.keyLiquid | 1u << kv.secondLiquid | 1u << kv.thirdLiquid;
    const Line line = place.belowCritical ? LineAt(source, place, fields, &lineScratch) : Line{};
    if (place.twoPhase) return WetFlags(line, place, kv, k, output);

    CellFacts cellScratch;
    const InCell cell = CellOf(source, place, line, kv.keyColumn, &cellScratch);
    unsigned flags = cell.facts.critical ? kCriticalRegion : 0u;
    if (!place.belowCritical && output == 3 && UncertainSide(source.tables, kv, k)) flags |= kCriticalRegion;
    // The temperature the lookup interpolated, from its ends.
    const double *a = place.end[0], *b = place.end[1];
    const Extended t = a[0] == b[0] ? Extended(a[1]) : a[1] + (b[1] - Extended(a[1])) * (k - a[0]) / (b[0] - a[0]);
    if (place.belowCritical) {
        if (line.Near(t)) flags |= kNearSaturation;
        if (Mixed(cell.facts, place)) return flags | kMixedPhaseCell;
    }
    if (output == 3) return flags;
    return flags | InverseCoarseGrid(source, cell, place, line, kv, output, t, value);
}

unsigned SaturationFlags(const FactSource &source, bool byPressure, Extended level, int field, Extended quality,
                         const LookupPath &place, Extended value) {
    if (!byPressure) {
        // One-degree records: only the approach to the critical point bends
        // faster than they follow.
        return level >= kCriticalBoxLowTemperature ? kCriticalRegion : 0u;
    }
    unsigned flags = level >= kCriticalBoxLowPressure ? kCriticalRegion : 0u;
    SaturationFacts scratch;
    const SaturationFacts &facts = SaturationIntervalAt(source, place.saturationRecord, 1u << field, &scratch);
    if ((quality < 0 ? facts.quietField : facts.quietMixture) >> field & 1) return flags;
    const Line line{0, place.saturationWeight, &facts};
    const Extended error =
        quality < 0 ? line.Error(field) : (1 - quality) * line.Error(field) + quality * line.Error(field + 1);
    if (Coarse(error, FieldScale(field, value))) flags |= kCoarseGrid;
    return flags;
}

}  // namespace rudid
