// The saturation line as the refined answers read it: cubics through four
// records of either saturation table, on the scales along which the line
// bends least. By pressure the abscissa is ln p, the temperature enters as
// 1 / T (in kelvin) and the vapour volume as ln v; by temperature the
// abscissa is 1 / T and the pressure and vapour volume enter as logarithms.
#pragma once

#include "common/real48.h"
#include "tables/saturation_state.h"
#include "tables/table_source.h"

namespace rudid {

// The seven fields in the order of the table records (SaturationField),
// extended, each rounded to Real48.
struct SaturationValues {
    Extended field[kSaturationFields];
};

// At pressure p (bar, 0.01..221.2). Raises the table's input/output failure.
SaturationValues RefinedSaturationAtPressure(const TableSource &tables, Extended p);

// The saturation temperature alone, unrounded, at any p of the
// single-phase grid up to 221.2 bar (points just below 0.01 bar
// extrapolate): where the isobars of the single-phase table change phase.
Extended RefinedSaturationTemperature(const TableSource &tables, Extended p);

// The critical point as the table by pressure holds it: the liquid and
// vapour fields of its last record (221.2 bar), where both are equal.
SaturationValues TableCriticalPoint(const TableSource &tables);

// At temperature t (degC, 0..374.15). Below 0.01 degC the fixed values of
// the table lookup, which do not come from the file.
SaturationValues RefinedSaturationAtTemperature(const TableSource &tables, Extended t);

}  // namespace rudid
