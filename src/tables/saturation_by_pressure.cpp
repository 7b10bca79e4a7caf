#include "tables/saturation_by_pressure.h"

#include "common/interpolation.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"

namespace rudid {

SaturationState SaturationByPressure(const TableSource &tables, Real48 p) {
    return SaturationPointByPressure(tables, Real48ToExtended(p)).ToReal48();
}

SaturationPoint SaturationPointByPressure(const TableSource &tables, Extended p) {
    const SaturationPressureGrid &grid = SaturationPressures();
    // Point 1 lies just above the extended 0.01, and no Real48 lies between
    // the two, so k >= 2 for every pressure the callers let through. At the
    // last point (221.2) no point lies above and k stays 292: the bracket is
    // then the last two records, and p gives the last record exactly.
    const int k = FirstSaturationPointAbove(p);

    std::uint8_t records[2 * kSaturationRecordSize];
    const ByteSpan span{std::uint64_t(k - 2) * kSaturationRecordSize, sizeof records};
    ReadSpans(tables, Table::SaturationByPressure, &span, 1, records);

    return SaturationPoint(p, grid.value[k - 1], grid.value[k], records, records + kSaturationRecordSize);
}

}  // namespace rudid
