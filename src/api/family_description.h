// What each family of exports is, in one table: which lookup answers it,
// what its first argument is, the key of an inverse lookup, and the range
// tests it runs before the lookup, in order, each with its argument,
// quantity, limits and codes. The call skeleton runs the tests (RangeTest)
// and RudidRangeMessage words them; no other place says which family tests
// which limit or asks which lookup. The code of a lookup's refusal stands
// beside each export in the public header's list.
#pragma once

#include <iterator>

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

constexpr RangeCheck kQualityTest = {2, RUDID_QUALITY, 0, 1, RUDID_QUALITY_OUT_OF_RANGE, RUDID_QUALITY_OUT_OF_RANGE};

constexpr RangeCheck kPressureToCritical = {1, RUDID_PRESSURE, kLowestPressure, kCriticalPressure,
                                            RUDID_PRESSURE_OUT_OF_RANGE, RUDID_PRESSURE_ABOVE_CRITICAL};
constexpr RangeCheck kTemperatureToCritical = {1, RUDID_TEMPERATURE, kLowestTemperature, kCriticalTemperature,
                                               RUDID_TEMPERATURE_OUT_OF_RANGE, RUDID_TEMPERATURE_ABOVE_CRITICAL};
constexpr RangeCheck kPressureInTable = {1, RUDID_PRESSURE, kLowestPressure, kHighestPressure,
                                         RUDID_PRESSURE_OUT_OF_RANGE, RUDID_PRESSURE_OUT_OF_RANGE};
constexpr RangeCheck kTemperatureInTable = {2, RUDID_TEMPERATURE, kLowestTemperature, kHighestTemperature,
                                            RUDID_TEMPERATURE_OUT_OF_RANGE, RUDID_TEMPERATURE_OUT_OF_RANGE};

// The lookup that answers a family.
enum class FamilyLookup { Saturation, PressureTemperature, Inverse };

struct FamilyTraits {
    ExportFamily family;
    FamilyLookup lookup;
    int firstQuantity;  // RUDID_PRESSURE, or RUDID_TEMPERATURE for the saturation by temperature
    InverseKey key;     // of an inverse lookup; unused by the others
    RangeCheck checks[2];
    int count;
};

// Indexed by ExportFamily. The inverse lookups refuse a key outside the
// table themselves, so their families test the pressure only.
inline constexpr FamilyTraits kFamilyTraits[] = {
    {ExportFamily::SaturationByPressure, FamilyLookup::Saturation, RUDID_PRESSURE, InverseKey::Volume,
     {kPressureToCritical}, 1},
    {ExportFamily::SaturationByTemperature, FamilyLookup::Saturation, RUDID_TEMPERATURE, InverseKey::Volume,
     {kTemperatureToCritical}, 1},
    {ExportFamily::PressureTemperature, FamilyLookup::PressureTemperature, RUDID_PRESSURE, InverseKey::Volume,
     {kPressureInTable, kTemperatureInTable}, 2},
    {ExportFamily::PressureEnthalpy, FamilyLookup::Inverse, RUDID_PRESSURE, InverseKey::Enthalpy,
     {kPressureInTable}, 1},
    {ExportFamily::PressureEntropy, FamilyLookup::Inverse, RUDID_PRESSURE, InverseKey::Entropy,
     {kPressureInTable}, 1},
    {ExportFamily::PressureVolume, FamilyLookup::Inverse, RUDID_PRESSURE, InverseKey::Volume,
     {kPressureInTable}, 1},
};

constexpr const FamilyTraits &TraitsOf(ExportFamily family) { return kFamilyTraits[int(family)]; }

constexpr bool TraitsInFamilyOrder() {
    for (int i = 0; i < int(std::size(kFamilyTraits)); ++i)
        if (int(kFamilyTraits[i].family) != i) return false;
    return std::size(kFamilyTraits) == std::size_t(ExportFamily::PressureVolume) + 1;
}
static_assert(TraitsInFamilyOrder(), "kFamilyTraits has one row per family, in ExportFamily order");

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
    constexpr const FamilyTraits &kTraits = TraitsOf(kFamily);
    for (int i = 0; i < kTraits.count; ++i) {
        const RangeCheck &check = kTraits.checks[i];
        if (const int code = Check(check, check.argument == 1 ? first : second)) return code;
    }
    if (fn.arguments == 2 && fn.secondArgument == kQuality) return Check(kQualityTest, second);
    return 0;
}

// The test of a family (or of any family, for null) that fails with code,
// if there is one: the first whose codes include it.
const RangeCheck *CheckWithCode(const ExportDescriptor *fn, int code);

}  // namespace rudid
