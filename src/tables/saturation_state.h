// The state of water on the saturation line, as both saturation lookups give
// it, in the field order of their table records.
#pragma once

#include <cstdint>

#include "common/interpolation.h"
#include "common/constants.h"
#include "tables/record_fields.h"
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

// The saturated liquid's field of a column of the single-phase table; the
// vapour's is the next.
inline int LiquidFieldOf(int column) {
    return column == kVolumeColumn ? kLiquidVolume : column == kEnthalpyColumn ? kLiquidEnthalpy : kLiquidEntropy;
}

struct SaturationState {
    Real48 field[kSaturationFields];
};

// The same state as the lookups use it inside: widened, and interpolated
// field by field whenever a field is asked for.
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
    // Inline: every row of a batch makes one.
    SaturationPoint(const TableSource &tables, Table table, std::uint64_t offset, Extended x, Extended x0,
                    Extended x1)
        : x_(double(x)), x0_(double(x0)), x1_(double(x1)) {
        records_ = SpanBytes(tables, table, ByteSpan{offset, 2 * kSaturationRecordSize}, scratch_);
        lowerRecord_ = int(offset / kSaturationRecordSize);
        if (!AllSafeSingles(records_, 2 * kSaturationFields)) InterpolateAll();
        // The grid points rise strictly: x1 > x0.
        weight_ = (x_ - x0_) / (x1_ - x0_);
    }
    // A state given outright.
    explicit SaturationPoint(const SaturationState &state);
    SaturationPoint(const SaturationPoint &) = delete;
    SaturationPoint &operator=(const SaturationPoint &) = delete;

    Extended field(int f) const { return onDemand_ ? Interpolated(f) : value_[f]; }
    // Whether every value of the records is finite and below 2^126.
    bool safe() const { return safe_; }

    // The first of the two records interpolated (-1 for a state given
    // outright), and the weight of x between their grid points.
    int lowerRecord() const { return lowerRecord_; }
    double weight() const { return weight_; }

    // Whether rough() may be asked: safe values read from records.
    bool bounded() const { return onDemand_; }
    // A field in double precision with a bound on its distance from
    // field(f).
    Rough rough(int f) const {
        return RoughInterpolate(weight_, records_, records_ + kSaturationRecordSize, f);
    }

private:
    void InterpolateAll();
    Extended Interpolated(int f) const {
        const std::uint8_t *above = records_ + kSaturationRecordSize;
        return safe_ ? Interpolate(x_, x0_, x1_, SafeValueAt(records_, f), SafeValueAt(above, f))
                     : Interpolate(x_, x0_, x1_, ValueAt(records_, f), ValueAt(above, f));
    }

    // Real48 values and grid points, which a double holds exactly and which
    // enter the arithmetic faster from a double.
    double x_ = 0, x0_ = 0, x1_ = 0;
    double weight_ = 0;  // of x between x0 and x1
    int lowerRecord_ = -1;
    const std::uint8_t *records_ = nullptr;  // two records, one after the other
    Extended value_[kSaturationFields];  // unless onDemand_
    bool onDemand_ = true;  // safe records: fields are interpolated when asked for
    bool safe_ = true;
    std::uint8_t scratch_[2 * kSaturationRecordSize];
};

}  // namespace rudid
