#include "common/interpolation.h"
#include "tables/record_fields.h"
#include "tables/saturation_state.h"

namespace rudid {

SaturationPoint::SaturationPoint(const TableSource &tables, Table table, std::uint64_t offset, Extended x,
                                 Extended x0, Extended x1)
    : x_(x), x0_(x0), x1_(x1) {
    records_ = SpanBytes(tables, table, ByteSpan{offset, 2 * kSaturationRecordSize}, scratch_);
    bool safe = true;
    for (int i = 0; i < 2 * kSaturationFields; ++i) safe &= IsSafeSingle(SingleAt(records_, i));
    if (!safe) {
        safe_ = false;
        for (int f = 0; f < kSaturationFields; ++f) field(f);
    }
}

SaturationPoint::SaturationPoint(const SaturationState &state) : known_((1u << kSaturationFields) - 1) {
    for (int f = 0; f < kSaturationFields; ++f) {
        value_[f] = Real48ToExtended(state.field[f]);
        if (!(std::fabs(value_[f]) < 0x1p126L)) safe_ = false;
    }
}

void SaturationPoint::Interpolate(int f) {
    value_[f] = rudid::Interpolate(x_, x0_, x1_, ValueAt(records_, f), ValueAt(records_ + kSaturationRecordSize, f));
    known_ |= 1u << f;
}

}  // namespace rudid
