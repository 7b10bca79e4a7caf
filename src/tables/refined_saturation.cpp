#include "tables/refined_saturation.h"

#include <cmath>
#include <cstring>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_logarithms.h"
#include "tables/saturation_by_temperature.h"

namespace rudid {

namespace {

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

// Reads four records from `first` and sets the weights of the cubic through
// abscissae xs at x.
void ReadStencil(const TableSource &tables, Table table, int first, const Extended *xs, Extended x,
                 RefinedSaturation *sat) {
    const ByteSpan span{std::uint64_t(first) * kSaturationRecordSize, kStencilNodes * kSaturationRecordSize};
    const std::uint8_t *records = SpanBytes(tables, table, span, sat->records);
    if (records != sat->records) std::memcpy(sat->records, records, sizeof sat->records);
    LagrangeWeights(xs, kStencilNodes, x, sat->weight);
}

}  // namespace

void RefinedSaturation::Interpolate(int f) {
    Extended y = 0;
    for (int i = 0; i < kStencilNodes; ++i)
        y += weight[i] * Shape(f, byTemperature, ValueAt(records + i * kSaturationRecordSize, f));
    value[f] = RoundToReal48(Unshape(f, byTemperature, y));
    known |= 1u << f;
}

RefinedSaturation RefinedSaturationAtPressure(const TableSource &tables, Extended p) {
    const GridLogarithms &logs = PressureGridLogarithms();
    int k = FirstSaturationPointAbove(p);
    if (k < 2) k = 2;
    const int first = StencilStart(k - 2, kSaturationGridPoints);  // record r holds point r + 1
    RefinedSaturation sat;
    ReadStencil(tables, Table::SaturationOnPressureGrid, first, logs.saturation + first + 1, std::log(p), &sat);
    return sat;
}

RefinedSaturation RefinedSaturationAtTemperature(const TableSource &tables, Extended t) {
    RefinedSaturation sat;
    sat.byTemperature = true;
    if (t < 0.01L) {
        // The fixed values at and just above 0 degC: the table lookup's own.
        SaturationPoint fixed = SaturationAtTemperature(tables, t);
        for (int f = 0; f < kSaturationFields; ++f) sat.value[f] = fixed.field(f);
        sat.known = (1u << kSaturationFields) - 1;
        return sat;
    }
    // Record n + 1 holds n degC, the last record (376) the critical point.
    constexpr int kFirstRecord = 1, kLastRecord = kSaturationTemperatureRecords - 1;
    const int n = int(double(t));
    const int first = StencilStart(n, kLastRecord - kFirstRecord + 1) + kFirstRecord;
    Extended xs[kStencilNodes];
    for (int i = 0; i < kStencilNodes; ++i) {
        const int record = first + i;
        const Extended celsius = record == kLastRecord ? Real48ToExtended(kLastRecordTemperature)
                                                       : Extended(record - 1);
        xs[i] = 1 / (celsius + kCelsiusZero);
    }
    ReadStencil(tables, Table::SaturationOnTemperatureGrid, first, xs, 1 / (t + kCelsiusZero), &sat);
    return sat;
}

CriticalPoint TableCriticalPoint(const TableSource &tables) {
    std::uint8_t scratch[kSaturationRecordSize];
    const ByteSpan span{std::uint64_t(kSaturationGridPoints - 1) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *record = SpanBytes(tables, Table::SaturationOnPressureGrid, span, scratch);
    return {ValueAt(record, kLiquidVolume), ValueAt(record, kLiquidEnthalpy), ValueAt(record, kLiquidEntropy)};
}

}  // namespace rudid
