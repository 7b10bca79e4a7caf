// What each family of exports tests before it asks its lookup: the range
// tests in order, each with its argument, quantity, limits and codes. The
// call skeleton runs them (RangeTest) and RudidRangeMessage words them; no
// other place says which family tests which limit. Which lookup a family
// asks, and the code of its refusal, stand beside each export in the
// public header's list.
#pragma once

#include "api/export_table.h"
#include "common/real48.h"
#include "tables/inverse_lookup.h"
#include "tables/table_limits.h"

namespace rudid {

// One range test: argument `argument` (1 or 2) below `low` fails with
// belowCode, above `high` with aboveCode. A two-argument export whose
// second argument is a quality tests it last, against kQualityTest.
struct RangeCheck {
    int argument;
    int quantity;
    Extended low, high;
    int belowCode, aboveCode;
};

struct FamilyDescription {
    RangeCheck checks[2];
    int count;
};

constexpr RangeCheck kQualityTest = {2, RUDID_QUALITY, 0, 1, RUDID_QUALITY_OUT_OF_RANGE, RUDID_QUALITY_OUT_OF_RANGE};

constexpr RangeCheck kPressureToCritical = {1, RUDID_PRESSURE, kLowestPressure, kCriticalPressure,
                                            RUDID_PRESSURE_OUT_OF_RANGE, RUDID_PRESSURE_ABOVE_CRITICAL};
constexpr RangeCheck kTemperatureToCritical = {1, RUDID_TEMPERATURE, kLowestTemperature, kCriticalTemperature,
                                               RUDID_TEMPERATURE_OUT_OF_RANGE, RUDID_TEMPERATURE_ABOVE_CRITICAL};
constexpr RangeCheck kPressureInTable = {1, RUDID_PRESSURE, kLowestPressure, kHighestPressure,
                                         RUDID_PRESSURE_OUT_OF_RANGE, RUDID_PRESSURE_OUT_OF_RANGE};
constexpr RangeCheck kTemperatureInTable = {2, RUDID_TEMPERATURE, kLowestTemperature, kHighestTemperature,
                                            RUDID_TEMPERATURE_OUT_OF_RANGE, RUDID_TEMPERATURE_OUT_OF_RANGE};

constexpr FamilyDescription DescriptionOf(ExportFamily family) {
    switch (family) {
        case ExportFamily::SaturationByPressure: return {{kPressureToCritical}, 1};
        case ExportFamily::SaturationByTemperature: return {{kTemperatureToCritical}, 1};
        case ExportFamily::PressureTemperature: return {{kPressureInTable, kTemperatureInTable}, 2};
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: break;
    }
    // The inverse lookups refuse a key outside the table themselves.
    return {{kPressureInTable}, 1};
}

// The key of an inverse family's lookup.
constexpr InverseKey KeyOf(ExportFamily family) {
    switch (family) {
        case ExportFamily::PressureEnthalpy: return InverseKey::Enthalpy;
        case ExportFamily::PressureEntropy: return InverseKey::Entropy;
        default: return InverseKey::Volume;
    }
}

// 0 when the value passes the test, else its code.
inline int Check(const RangeCheck &check, Extended value) {
    if (value < check.low) return check.belowCode;
    if (value > check.high) return check.aboveCode;
    return 0;
}

// Returns 0 when the arguments pass every test of the family in order,
// else the code of the first that fails.
// Inline: every row runs it, and its arguments are extended values, which
// a call would pass through memory.
template <ExportFamily kFamily>
[[gnu::always_inline]] inline int RangeTest(const ExportDescriptor &fn, Extended first, Extended second) {
    constexpr FamilyDescription kDescription = DescriptionOf(kFamily);
    for (int i = 0; i < kDescription.count; ++i) {
        const RangeCheck &check = kDescription.checks[i];
        if (const int code = Check(check, check.argument == 1 ? first : second)) return code;
    }
    if (fn.arguments == 2 && fn.secondArgument == kQuality) return Check(kQualityTest, second);
    return 0;
}

// The test of a family (or of any family, for null) that fails with code,
// if there is one: the first whose codes include it.
const RangeCheck *CheckWithCode(const ExportDescriptor *fn, int code);

}  // namespace rudid
