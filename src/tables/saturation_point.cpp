#include "common/interpolation.h"
#include "tables/record_fields.h"
#include "tables/saturation_state.h"

namespace rudid {

// Records with a value that may fail: every field at once, in record order,
// so that the first failing one raises.
void SaturationPoint::InterpolateAll() {
    safe_ = false;
    for (int f = 0; f < kSaturationFields; ++f) value_[f] = Interpolated(f);
    onDemand_ = false;
}

SaturationPoint::SaturationPoint(const SaturationState &state) : onDemand_(false) {
    for (int f = 0; f < kSaturationFields; ++f) {
        value_[f] = Real48ToExtended(state.field[f]);
        if (!(std::fabs(value_[f]) < 0x1p126L)) safe_ = false;
    }
}

}  // namespace rudid
