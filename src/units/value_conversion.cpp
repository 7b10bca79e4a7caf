#include "units/value_conversion.h"

#include "units/unit_recognition.h"

namespace rudid {

namespace {

// Temperature offsets and scales: 32 and 5 exactly, the others as the
// nearest extended values.
constexpr Extended kFahrenheitZero = 32.0L;
constexpr Extended kFive = 5.0L;
constexpr Extended kOneNinth = 1.0L / 9.0L;
constexpr Extended kFahrenheitPerKelvin = 1.8L;
constexpr Extended kCelsiusZeroInKelvin = 273.15L;

Extended ConvertTemperature(Extended scale, int direction, Extended x) {
    if (scale == 0) return x;  // Celsius, the internal scale: unchanged
    Extended result;
    if (scale == 1) {  // Fahrenheit
        result = direction == 0 ? ((x - kFahrenheitZero) * kFive) * kOneNinth
                                : x * kFahrenheitPerKelvin + kFahrenheitZero;
    } else {  // Kelvin, the only other scale the table holds
        result = direction == 0 ? x - kCelsiusZeroInKelvin : x + kCelsiusZeroInKelvin;
    }
    return RoundToReal48(result);
}

}  // namespace

void ConvertValue(QuantityCode code, int direction, Real48 value, const char *unitName,
                  Real48 *converted, int *failed) {
    *failed = 1;
    UnitFactor factor{};
    RecogniseUnit(code, unitName, &factor, failed);
    if (*failed != 0) return;
    *converted = ConvertWithFactor(code, direction, value, factor);
}

Real48 ConvertWithFactor(QuantityCode code, int direction, Real48 value, UnitFactor factor) {
    if (code == Temperature && IsZero(factor)) return value;  // Celsius: the bytes as they are
    return ExtendedToReal48(
        ConvertWidened(code, direction, Real48ToExtended(value), Real48ToExtended(factor)));
}

Extended ConvertWidened(QuantityCode code, int direction, Extended value, Extended factor) {
    if (code == Temperature) return ConvertTemperature(factor, direction, value);
    return RoundToReal48(direction == 0 ? value * factor : value / factor);
}

}  // namespace rudid
