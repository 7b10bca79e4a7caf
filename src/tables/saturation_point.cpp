#include <cstring>

#include "common/interpolation.h"
#include "tables/record_fields.h"
#include "tables/saturation_state.h"

namespace rudid {

SaturationPoint::SaturationPoint(Extended x, Extended x0, Extended x1, const std::uint8_t *a,
                                 const std::uint8_t *b)
    : x_(x), x0_(x0), x1_(x1) {
    std::memcpy(records_, a, kSaturationRecordSize);
    std::memcpy(records_ + kSaturationRecordSize, b, kSaturationRecordSize);
    for (int i = 0; i < 2 * kSaturationFields; ++i)
        if (!IsSafeSingle(SingleAt(records_, i))) {
            safe_ = false;
            for (int f = 0; f < kSaturationFields; ++f) field(f);
            break;
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

SaturationState SaturationPoint::ToReal48() {
    SaturationState state;
    for (int f = 0; f < kSaturationFields; ++f) state.field[f] = ExtendedToReal48(field(f));
    return state;
}

}  // namespace rudid
