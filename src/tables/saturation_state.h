// The state of water on the saturation line, as both saturation lookups give
// it, in the field order of their table records.
#pragma once

#include "tables/real48.h"

namespace rudid {

enum SaturationField : int {
    kSaturationLevel = 0,  // saturation temperature (by pressure) or pressure (by temperature)
    kLiquidVolume = 1,
    kVapourVolume = 2,
    kLiquidEnthalpy = 3,
    kVapourEnthalpy = 4,
    kLiquidEntropy = 5,
    kVapourEntropy = 6,
};
constexpr int kSaturationFields = 7;
constexpr int kSaturationRecordSize = kSaturationFields * 4;

struct SaturationState {
    Real48 field[kSaturationFields];
};

// The same state with every field widened, as the lookups use it inside.
struct SaturationValues {
    Extended field[kSaturationFields];
};

inline SaturationState ToReal48(const SaturationValues &values) {
    SaturationState state;
    for (int f = 0; f < kSaturationFields; ++f) state.field[f] = ExtendedToReal48(values.field[f]);
    return state;
}

}  // namespace rudid
