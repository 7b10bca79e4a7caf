#include "tables/refined_saturation.h"

#include <cmath>

#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/refined_stencils.h"
#include "tables/saturation_by_temperature.h"

namespace rudid {

void RefinedSaturation::Interpolate(int f) {
    Extended y = 0;
    if (f == kSaturationLevel) {
        for (int i = 0; i < kStencilNodes; ++i) y += Extended(weight_[i]) * scaled_[i].level;
        // ln p by temperature; 1 / T by pressure.
        y = byTemperature_ ? Extended(StoredDouble(std::exp(double(y)))) : 1 / y - kCelsiusZero;
    } else if (f == kVapourVolume) {
        for (int i = 0; i < kStencilNodes; ++i) y += Extended(weight_[i]) * scaled_[i].logVapourVolume;
        y = StoredDouble(std::exp(double(y)));
    } else if (plain_) {
        for (int i = 0; i < kStencilNodes; ++i) y += Extended(weight_[i]) * SingleAt(records_ + i * kSaturationRecordSize, f);
    } else {
        for (int i = 0; i < kStencilNodes; ++i) y += Extended(weight_[i]) * ValueAt(records_ + i * kSaturationRecordSize, f);
    }
    value_[f] = RoundToReal48(y);
    known_ |= 1u << f;
}

// The estimate: the same sum in double precision over the plain singles of
// a field interpolated as it stands. It lies within a few parts in 1e16 of
// the sum of every term's magnitude from the extended sum, which the
// six-byte rounding then moves by at most 2^-40 of the field: 1e-11 of the
// terms' magnitudes bounds both.
bool RefinedSaturation::Beyond(int f, int sign, Extended k) {
    const bool estimable = plain_ && f != kSaturationLevel && f != kVapourVolume && !(known_ >> f & 1);
    if (estimable) {
        double estimate = 0, magnitude = 0;
        for (int i = 0; i < kStencilNodes; ++i) {
            const double term = weight_[i] * SingleAt(records_ + i * kSaturationRecordSize, f);
            estimate += term;
            magnitude += std::fabs(term);
        }
        const double bound = 1e-11 * magnitude + 0x1p-1000;
        const double key = double(k);  // a Real48: exact
        if (sign > 0 ? key < estimate - bound : key > estimate + bound) return true;
        if (sign > 0 ? key > estimate + bound : key < estimate - bound) return false;
    }
    return sign > 0 ? field(f) > k : field(f) < k;
}

void RefinedSaturation::AtPressure(const RefinedTables &tables, Extended p, double logP) {
    int k = FirstSaturationPointAbove(p);
    if (k < 2) k = 2;
    const int first = StencilStart(k - 2, kSaturationGridPoints);  // record r holds point r + 1
    constexpr Table table = Table::SaturationOnPressureGrid;
    const ByteSpan span{std::uint64_t(first) * kSaturationRecordSize, kStencilNodes * kSaturationRecordSize};
    records_ = SpanBytes(tables.source, table, span, scratch_);
    const RefinedMemory::Stencil stencil = tables.memory.SaturationStencil(table, first, records_);
    scaled_ = stencil.scaled;
    plain_ = stencil.plain;
    Extended weight[kStencilNodes];
    ScaledWeights(SaturationPressures().logValue + first + 1, RefinedStencils().pressureScale[first], logP, weight);
    KeepWeights(weight);
}

void RefinedSaturation::AtTemperature(const RefinedTables &tables, Extended t) {
    byTemperature_ = true;
    if (t < kTriplePointTemperature) {
        // The fixed values at and just above 0 degC: the table lookup's own.
        SaturationPoint fixed = SaturationAtTemperature(tables.source, t);
        for (int f = 0; f < kSaturationFields; ++f) value_[f] = fixed.field(f);
        known_ = (1u << kSaturationFields) - 1;
        return;
    }
    // Record n + 1 holds n degC, the last record (376) the critical point.
    constexpr int kFirstRecord = 1, kLastRecord = kSaturationTemperatureRecords - 1;
    const int n = int(double(t));
    const int first = StencilStart(n, kLastRecord - kFirstRecord + 1) + kFirstRecord;
    constexpr Table table = Table::SaturationOnTemperatureGrid;
    const ByteSpan span{std::uint64_t(first) * kSaturationRecordSize, kStencilNodes * kSaturationRecordSize};
    records_ = SpanBytes(tables.source, table, span, scratch_);
    const RefinedMemory::Stencil stencil = tables.memory.SaturationStencil(table, first, records_);
    scaled_ = stencil.scaled;
    plain_ = stencil.plain;
    const SaturationStencils &stencils = RefinedStencils();
    Extended weight[kStencilNodes];
    ScaledWeights(stencils.inverseTemperature + first, stencils.temperatureScale[first], 1 / (t + kCelsiusZero),
                  weight);
    KeepWeights(weight);
}

}  // namespace rudid
