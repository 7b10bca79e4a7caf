// The saturation line as the refined answers read it: cubics through four
// records of either saturation table, on the scales along which the line
// bends least. By pressure the abscissa is ln p, the temperature enters as
// 1 / T (in kelvin) and the vapour volume as ln v; by temperature the
// abscissa is 1 / T and the pressure and vapour volume enter as logarithms.
#pragma once

#include <cstdint>

#include "common/real48.h"
#include "tables/refined_shape.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// The four records around a pressure or temperature and the weights of the
// cubic there; the seven fields (SaturationField order) are interpolated as
// they are asked for, each rounded to Real48.
struct RefinedSaturation {
    Extended weight[kStencilNodes];
    // The four records as read, converted field by field as asked for.
    std::uint8_t records[kStencilNodes * kSaturationRecordSize];
    bool byTemperature = false;
    Extended value[kSaturationFields];  // those in known only
    unsigned known = 0;

    Extended field(int f) {
        if (!(known >> f & 1)) Interpolate(f);
        return value[f];
    }

private:
    void Interpolate(int f);
};

// At pressure p (bar, 0.01..221.2). Raises the table's input/output failure.
RefinedSaturation RefinedSaturationAtPressure(const TableSource &tables, Extended p);

// At temperature t (degC, 0..374.15). Below 0.01 degC the fixed values of
// the table lookup, which do not come from the file.
RefinedSaturation RefinedSaturationAtTemperature(const TableSource &tables, Extended t);

// The critical point as the table by pressure holds it: the liquid fields
// of its last record (221.2 bar), where liquid and vapour are equal.
struct CriticalPoint {
    Extended volume, enthalpy, entropy;
};
CriticalPoint TableCriticalPoint(const TableSource &tables);

}  // namespace rudid
