#include "tables/saturation_by_temperature.h"


namespace rudid {

namespace {

// At 0 degC exactly. Bytes of the Real48 nearest to 0.006108 bar, 0.0010002
// and 206.3 m3/kg, -0.04 and 2501.6 kJ/kg, -0.0002 and 9.1577 kJ/(kg K).
constexpr SaturationState kAtZero = {{
    {{0x79, 0x3A, 0x1F, 0x9E, 0x25, 0x48}},
    {{0x77, 0x34, 0x94, 0x24, 0x19, 0x03}},
    {{0x88, 0xCD, 0xCC, 0xCC, 0x4C, 0x4E}},
    {{0x7C, 0x71, 0x3D, 0x0A, 0xD7, 0xA3}},
    {{0x8C, 0x9A, 0x99, 0x99, 0x59, 0x1C}},
    {{0x74, 0xE2, 0x58, 0x17, 0xB7, 0xD1}},
    {{0x84, 0x69, 0x6F, 0xF0, 0x85, 0x12}},
}};

// Between 0 and 0.01 degC, where the liquid enthalpy and entropy are taken
// as their reference zero: 0.006112 bar, 0.0010002 and 206.2 m3/kg, 0 and
// 2501.6 kJ/kg, 0 and 9.1575 kJ/(kg K).
constexpr SaturationState kJustAboveZero = {{
    {{0x79, 0x7C, 0x0E, 0x2C, 0x47, 0x48}},
    {{0x77, 0x34, 0x94, 0x24, 0x19, 0x03}},
    {{0x88, 0x33, 0x33, 0x33, 0x33, 0x4E}},
    {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {{0x8C, 0x9A, 0x99, 0x99, 0x59, 0x1C}},
    {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {{0x84, 0x52, 0xB8, 0x1E, 0x85, 0x12}},
}};


}  // namespace

SaturationPoint SaturationAtTemperature(const TableSource &tables, Extended temperature) {
    if (temperature == 0) return SaturationPoint(kAtZero);
    if (temperature < kTriplePointTemperature) return SaturationPoint(kJustAboveZero);

    // Record n + 1 holds n degC; truncation, whatever the rounding mode. The
    // temperature is a Real48 value, which a double holds exactly.
    const int n = int(double(temperature));
    const Extended t0 = n;
    const Extended t1 = temperature > 374 ? Real48ToExtended(kLastRecordTemperature) : Extended(n + 1);
    return SaturationPoint(tables, Table::SaturationOnTemperatureGrid, std::uint64_t(n + 1) * kSaturationRecordSize,
                           temperature, t0, t1);
}

}  // namespace rudid
