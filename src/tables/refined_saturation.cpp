#include "tables/refined_saturation.h"

#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_shape.h"
#include "tables/saturation_by_temperature.h"

namespace rudid {

namespace {

// Four consecutive records of a saturation table, from record `first`, with
// their abscissae on the interpolation's scale.
struct RecordStencil {
    Extended x[kStencilNodes];
    const std::uint8_t *records;
    std::uint8_t scratch[kStencilNodes * kSaturationRecordSize];
};

void ReadStencil(const TableSource &tables, Table table, int first, RecordStencil *stencil) {
    const ByteSpan span{std::uint64_t(first) * kSaturationRecordSize, kStencilNodes * kSaturationRecordSize};
    stencil->records = SpanBytes(tables, table, span, stencil->scratch);
}

Extended RecordValue(const RecordStencil &stencil, int node, int field) {
    return ValueAt(stencil.records + node * kSaturationRecordSize, field);
}

// The fields whose logarithm bends less than themselves: the vapour volume
// on either table, the level (pressure) on the table by temperature.
bool ByLogarithm(int field, bool byTemperature) {
    return field == kVapourVolume || (byTemperature && field == kSaturationLevel);
}

Extended Shape(int field, bool byTemperature, Extended y) {
    if (ByLogarithm(field, byTemperature)) return std::log(y);
    if (field == kSaturationLevel) return 1 / (y + kCelsiusZero);  // the temperature, by pressure
    return y;
}

Extended Unshape(int field, bool byTemperature, Extended y) {
    if (ByLogarithm(field, byTemperature)) return std::exp(y);
    if (field == kSaturationLevel) return 1 / y - kCelsiusZero;
    return y;
}

Extended FieldAt(const RecordStencil &stencil, int field, bool byTemperature, Extended x) {
    Extended ys[kStencilNodes];
    for (int i = 0; i < kStencilNodes; ++i) ys[i] = Shape(field, byTemperature, RecordValue(stencil, i, field));
    return Unshape(field, byTemperature, LagrangeValue(stencil.x, ys, kStencilNodes, x));
}

// The stencil of records around pressure p, abscissae ln p.
void PressureStencil(const TableSource &tables, Extended p, RecordStencil *stencil) {
    const SaturationPressureGrid &grid = SaturationPressures();
    int k = FirstSaturationPointAbove(p);
    if (k < 2) k = 2;
    const int first = StencilStart(k - 2, kSaturationGridPoints);  // record r holds point r + 1
    for (int i = 0; i < kStencilNodes; ++i) stencil->x[i] = std::log(Extended(grid.value[first + 1 + i]));
    ReadStencil(tables, Table::SaturationOnPressureGrid, first, stencil);
}

}  // namespace

SaturationValues RefinedSaturationAtPressure(const TableSource &tables, Extended p) {
    RecordStencil stencil;
    PressureStencil(tables, p, &stencil);
    SaturationValues values;
    const Extended x = std::log(p);
    for (int f = 0; f < kSaturationFields; ++f) values.field[f] = RoundToReal48(FieldAt(stencil, f, false, x));
    return values;
}

Extended RefinedSaturationTemperature(const TableSource &tables, Extended p) {
    RecordStencil stencil;
    PressureStencil(tables, p, &stencil);
    return FieldAt(stencil, kSaturationLevel, false, std::log(p));
}

SaturationValues TableCriticalPoint(const TableSource &tables) {
    std::uint8_t scratch[kSaturationRecordSize];
    const ByteSpan span{std::uint64_t(kSaturationGridPoints - 1) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *record = SpanBytes(tables, Table::SaturationOnPressureGrid, span, scratch);
    SaturationValues values;
    for (int f = 0; f < kSaturationFields; ++f) values.field[f] = ValueAt(record, f);
    return values;
}

SaturationValues RefinedSaturationAtTemperature(const TableSource &tables, Extended t) {
    SaturationValues values;
    if (t < 0.01L) {
        // The fixed values at and just above 0 degC: the table lookup's own.
        SaturationPoint fixed = SaturationAtTemperature(tables, t);
        for (int f = 0; f < kSaturationFields; ++f) values.field[f] = fixed.field(f);
        return values;
    }
    // Record n + 1 holds n degC, the last record (376) the critical point.
    constexpr int kFirstRecord = 1, kLastRecord = kSaturationTemperatureRecords - 1;
    const int n = int(double(t));
    int first = StencilStart(n, kLastRecord - kFirstRecord + 1) + kFirstRecord;
    RecordStencil stencil;
    for (int i = 0; i < kStencilNodes; ++i) {
        const int record = first + i;
        const Extended celsius = record == kLastRecord ? Real48ToExtended(kLastRecordTemperature)
                                                       : Extended(record - 1);
        stencil.x[i] = 1 / (celsius + kCelsiusZero);
    }
    ReadStencil(tables, Table::SaturationOnTemperatureGrid, first, &stencil);
    const Extended x = 1 / (t + kCelsiusZero);
    for (int f = 0; f < kSaturationFields; ++f) values.field[f] = RoundToReal48(FieldAt(stencil, f, true, x));
    return values;
}

}  // namespace rudid
