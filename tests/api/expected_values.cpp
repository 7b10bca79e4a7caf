#include "api/expected_values.h"

#include <optional>
#include <stdexcept>

#include "support/real48_interpolation.h"
#include "tables/saturation_by_pressure.h"
#include "tables/table_source.h"
#include "units/unit_recognition.h"
#include "units/value_conversion.h"

namespace rudid::testing {

double SaturationValue(const Bytes &table, int record, int field) {
    return SingleAt(table, std::size_t(record) * kSaturationFields + std::size_t(field));
}

double SinglePhaseValue(const Bytes &table, int point, int tenth, int column) {
    return SingleAt(table, (std::size_t(point - 1) * 81 + std::size_t(tenth)) * 3 + std::size_t(column));
}

Real48 R48(long double x) { return ExtendedToReal48(x); }

double Widened(Real48 r) { return double(Real48ToExtended(r)); }

double RoundedToReal48(long double x) { return Widened(R48(x)); }

double Converted(QuantityCode code, int direction, double value, const char *unit) {
    const std::optional<UnitFactor> factor = RecogniseUnit(code, unit);
    if (!factor) throw std::invalid_argument(std::string("unit not recognised: ") + unit);
    const Extended widened = Real48ToExtended(R48(value));
    const Extended factorWidened = Real48ToExtended(*factor);
    return double(direction == 0 ? ToInternalUnit(code, widened, factorWidened)
                                 : FromInternalUnit(code, widened, factorWidened));
}

SaturationState SaturationAt(const LibraryInstance &lib, double pressure) {
    const std::string directory = lib.dataPrefix();
    SaturationPoint point = SaturationAtPressure(FileTableSource(directory.c_str()), Real48ToExtended(R48(pressure)));
    SaturationState state;
    for (int f = 0; f < kSaturationFields; ++f) state.field[f] = ExtendedToReal48(point.field(f));
    return state;
}

double Interpolated(double x, double x0, double x1, double y0, double y1) {
    return Widened(InterpolateLinear(R48(x), R48(x0), R48(x1), R48(y0), R48(y1)));
}

}  // namespace rudid::testing
