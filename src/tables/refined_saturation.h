// The saturation line as the refined answers read it: cubics through four
// records of either saturation table, on the scales along which the line
// bends least. By pressure the abscissa is ln p, the temperature enters as
// 1 / T (in kelvin) and the vapour volume as ln v; by temperature the
// abscissa is 1 / T and the pressure and vapour volume enter as logarithms.
#pragma once

#include <cstdint>

#include "common/real48.h"
#include "tables/refined_memory.h"
#include "tables/refined_shape.h"
#include "tables/saturation_state.h"

namespace rudid {

// The four records around a pressure or temperature and the weights of the
// cubic there; the seven fields (SaturationField order) are interpolated as
// they are asked for, each rounded to Real48. The records are read where
// the source holds them, or into the object itself, which is therefore
// neither copied nor moved.
class RefinedSaturation {
public:
    RefinedSaturation() = default;
    RefinedSaturation(const RefinedSaturation &) = delete;
    RefinedSaturation &operator=(const RefinedSaturation &) = delete;

    // At pressure p (bar, 0.01..221.2), whose natural logarithm is logP.
    // Raises the table's input/output failure.
    void AtPressure(const RefinedTables &tables, Extended p, double logP);
    // At temperature t (degC, 0..374.15). Below 0.01 degC the fixed values
    // of the table lookup, which do not come from the file.
    void AtTemperature(const RefinedTables &tables, Extended t);

    Extended field(int f) {
        if (!(known_ >> f & 1)) Interpolate(f);
        return value_[f];
    }

    // Whether field(f) exceeds k (sign 1) or falls below it (sign -1),
    // decided on a double-precision estimate of the field where its bound
    // settles it, so that the field itself is worked out only when it is
    // needed or the estimate leaves the answer open.
    bool Beyond(int f, int sign, Extended k);

private:
    void Interpolate(int f);
    void KeepWeights(const Extended *weight) {
        for (int i = 0; i < kStencilNodes; ++i) weight_[i] = double(weight[i]);
    }

    // The weights of the cubic, in double precision: they carry a field
    // to within a few parts in 1e16, far below the six-byte rounding of
    // every field, and enter the extended arithmetic faster from a double.
    double weight_[kStencilNodes];
    const std::uint8_t *records_ = nullptr;
    const ScaledRecord *scaled_ = nullptr;  // of the four records
    bool plain_ = false;                    // their singles are all plain
    bool byTemperature_ = false;
    Extended value_[kSaturationFields];  // those in known_ only
    unsigned known_ = 0;
    std::uint8_t scratch_[kStencilNodes * kSaturationRecordSize];
};

}  // namespace rudid
