// What the tests expect from the property functions: values read straight
// from the synthetic tables, and values computed with the library's own
// primitives where the arithmetic has no simpler closed form.
#pragma once

#include <string>

#include "api/library_instance.h"
#include "common/real48.h"
#include "tables/saturation_state.h"
#include "units/quantity.h"

namespace rudid::testing {

// Field (0 to 6, SaturationField order) of record r of a saturation table,
// widened exactly.
double SaturationValue(const Bytes &table, int record, int field);

// Column (0 v, 1 h, 2 s) of the single-phase entry at pressure point
// `point` (1 to 224) and temperature 10 * tenth degC, widened exactly.
double SinglePhaseValue(const Bytes &table, int point, int tenth, int column);

Real48 R48(long double x);
double Widened(Real48 r);

// x rounded to a six-byte real, as a double.
double RoundedToReal48(long double x);

// A value converted as the library converts it: direction 0 from the named
// unit into the internal unit, 1 back out. The value is rounded to a
// six-byte real first, as the exports round their arguments.
double Converted(QuantityCode code, int direction, double value, const char *unit);

// The saturation state at a pressure (bar) read from the tables of an
// instance's data directory by the library's own lookup.
SaturationState SaturationAt(const LibraryInstance &lib, double pressure);

// y on the line through (x0, y0) and (x1, y1), by the library's primitive.
double Interpolated(double x, double x0, double x1, double y0, double y1);

// The error codes of the property functions.
constexpr double kPressureOutOfRange = -1001.0;
constexpr double kTemperatureOutOfRange = -1002.0;
constexpr double kQualityOutOfRange = -1003.0;
constexpr double kAboveCriticalPressure = -1004.0;
constexpr double kAboveCriticalTemperature = -1005.0;
constexpr double kEntropyOutsideTable = -1012.0;
constexpr double kVolumeOutsideTable = -1013.0;
constexpr double kEnthalpyOutsideTable = -1014.0;
constexpr double kOnSaturationLine = -1015.0;

}  // namespace rudid::testing
