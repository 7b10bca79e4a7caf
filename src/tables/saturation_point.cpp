#include "common/interpolation.h"
#include "tables/record_fields.h"
#include "tables/saturation_state.h"

namespace rudid {

SaturationPoint::SaturationPoint(const TableSource &tables, Table table, std::uint64_t offset, Extended x,
                                 Extended x0, Extended x1)
    : x_(double(x)), x0_(double(x0)), x1_(double(x1)) {
    records_ = SpanBytes(tables, table, ByteSpan{offset, 2 * kSaturationRecordSize}, scratch_);
    if (!AllSafeSingles(records_, 2 * kSaturationFields)) {
        safe_ = false;
        for (int f = 0; f < kSaturationFields; ++f) value_[f] = Interpolated(f);
        onDemand_ = false;
    }
}

SaturationPoint::SaturationPoint(const SaturationState &state) : onDemand_(false) {
    for (int f = 0; f < kSaturationFields; ++f) {
        value_[f] = Real48ToExtended(state.field[f]);
        if (!(std::fabs(value_[f]) < 0x1p126L)) safe_ = false;
    }
}

}  // namespace rudid
