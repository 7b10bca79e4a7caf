#include "units/value_conversion.h"

#include "common/constants.h"

namespace rudid {

namespace {

// Temperature offsets and scales: 32 and 5 exactly, the others as the
// nearest extended values.
constexpr Extended kFahrenheitZero = 32.0L;
constexpr Extended kFive = 5.0L;
constexpr Extended kOneNinth = 1.0L / 9.0L;
constexpr Extended kFahrenheitPerKelvin = 1.8L;

// The temperature scales that recognition gives in place of a factor.
constexpr Extended kCelsiusScale = 0;
constexpr Extended kFahrenheitScale = 1;

enum class Direction { ToInternal, FromInternal };

Extended ConvertTemperature(Extended scale, Direction direction, Extended x) {
    if (scale == kCelsiusScale) return x;  // the internal scale: unchanged
    Extended result;
    if (scale == kFahrenheitScale) {
        result = direction == Direction::ToInternal ? ((x - kFahrenheitZero) * kFive) * kOneNinth
                                                    : x * kFahrenheitPerKelvin + kFahrenheitZero;
    } else {  // Kelvin, the only other scale the table holds
        result = direction == Direction::ToInternal ? x - kCelsiusZero : x + kCelsiusZero;
    }
    return RoundToReal48(result);
}

}  // namespace

Extended ToInternalUnit(QuantityCode code, Extended value, Extended factor) {
    if (code == Temperature) return ConvertTemperature(factor, Direction::ToInternal, value);
    return RoundToReal48(value * factor);
}

Extended FromInternalUnit(QuantityCode code, Extended value, Extended factor) {
    if (code == Temperature) return ConvertTemperature(factor, Direction::FromInternal, value);
    return RoundToReal48(value / factor);
}

}  // namespace rudid
