// The state of water on the saturation line, as both saturation lookups give
// it, in the field order of their table records.
#pragma once

#include <cstdint>

#include "common/real48.h"
#include "tables/table_source.h"

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

// The same state as the lookups use it inside: widened, and interpolated
// field by field when a field is first asked for.
//
// Asking for fewer fields gives the same numbers, and the same failures, as
// interpolating all seven at once, provided none can fail: every value of
// both records finite and below 2^126 in magnitude, so that no conversion,
// and no interpolation with a weight in [0, 1], can overflow. When a record
// holds anything else all seven fields are interpolated at once, in record
// order, and the first that fails raises as it would have.
//
// The records are read where the source holds them, or into the point
// itself; a point is therefore neither copied nor moved.
class SaturationPoint {
public:
    // The state at x between the two consecutive records of the table that
    // start at byte offset: the first at x0, the second at x1, with
    // x0 <= x <= x1. Raises the table's input/output failure.
    SaturationPoint(const TableSource &tables, Table table, std::uint64_t offset, Extended x, Extended x0,
                    Extended x1);
    // A state given outright.
    explicit SaturationPoint(const SaturationState &state);
    SaturationPoint(const SaturationPoint &) = delete;
    SaturationPoint &operator=(const SaturationPoint &) = delete;

    Extended field(int f) {
        if (!(known_ >> f & 1)) Interpolate(f);
        return value_[f];
    }
    // Whether every value of the records is finite and below 2^126.
    bool safe() const { return safe_; }

private:
    void Interpolate(int f);

    Extended x_ = 0, x0_ = 0, x1_ = 0;
    const std::uint8_t *records_ = nullptr;  // two records, one after the other
    Extended value_[kSaturationFields];  // those in known_ only
    unsigned known_ = 0;
    bool safe_ = true;
    std::uint8_t scratch_[2 * kSaturationRecordSize];
};

}  // namespace rudid
