// The library describes itself: its property functions, the quantities and
// units it works in, and the meaning of every code it answers with. Tools
// and bindings ask these functions instead of keeping copies of the lists.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <strings.h>

#include "api/export_table.h"
#include "tables/table_limits.h"
#include "common/failure.h"
#include "config/startup.h"
#include "platform/platform.h"
#include "units/quantity_names.h"
#include "units/unit_recognition.h"
#include "units/unit_selection.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

static_assert(kExportCount > 0);

const ExportDescriptor *DescriptorAt(int function) {
    if (function < 0 || function >= kExportCount) return nullptr;
    return &Describe(ExportId(function));
}

bool IsQuantityCode(int quantity) { return quantity >= 0 && quantity < kQuantityCodeCount; }

const char *ConfiguredUnitName(int quantity) {
    const char *name = UnitNameFor(QuantityCode(quantity), Startup().unitSelections);
    return name ? name : "";
}

// Converts between the internal and the configured unit with the factor the
// property functions use; NaN for a quantity that has no factor.
double ConvertConfigured(int quantity, double value, bool intoConfigured) {
    if (quantity == RUDID_QUALITY) return value;
    if (!IsQuantityCode(quantity)) return NAN;
    const std::optional<UnitFactor> factor =
        RecogniseUnit(QuantityCode(quantity), ConfiguredUnitName(quantity));
    if (!factor || UnitListFor(QuantityCode(quantity)).names == nullptr) return NAN;
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    const QuantityCode code = QuantityCode(quantity);
    const Extended widenedFactor = Real48ToExtended(*factor);
    const Extended converted = intoConfigured ? FromInternalUnit(code, Extended(value), widenedFactor)
                                              : ToInternalUnit(code, Extended(value), widenedFactor);
    const double result = double(converted);
    platform::LeaveLibraryArithmetic(saved);
    return result;
}

// A limit in the configured unit of its quantity, with its unit name.
struct Limit {
    double value;
    const char *unit;
};

Limit InConfiguredUnit(int quantity, Extended internal) {
    return {ConvertConfigured(quantity, double(internal), true), ConfiguredUnitName(quantity)};
}

thread_local char tRangeMessage[160];
thread_local char tFailureMessage[64];

}  // namespace

}  // namespace rudid

using namespace rudid;

extern "C" {

RUDID_API const char *RUDID_CALL RudidVersion(void) { return RUDID_LIBRARY_VERSION; }

RUDID_API int RUDID_CALL RudidFunctionCount(void) { return kExportCount; }

RUDID_API int RUDID_CALL RudidFunctionIndex(const char *name) {
    if (name == nullptr) return -1;
    for (int i = 0; i < kExportCount; ++i)
        if (strcasecmp(DescriptorAt(i)->name, name) == 0) return i;
    return -1;
}

RUDID_API const char *RUDID_CALL RudidFunctionName(int function) {
    const ExportDescriptor *fn = DescriptorAt(function);
    return fn ? fn->name : nullptr;
}

RUDID_API int RUDID_CALL RudidFunctionArity(int function) {
    const ExportDescriptor *fn = DescriptorAt(function);
    return fn ? fn->arguments : 0;
}

RUDID_API const char *RUDID_CALL RudidFunctionDescription(int function) {
    const ExportDescriptor *fn = DescriptorAt(function);
    return fn ? fn->description : nullptr;
}

RUDID_API int RUDID_CALL RudidFunctionArgument(int function, int position) {
    const ExportDescriptor *fn = DescriptorAt(function);
    if (fn == nullptr || position < 1 || position > fn->arguments) return RUDID_NO_QUANTITY;
    return position == 1 ? fn->firstArgument : fn->secondArgument;
}

RUDID_API int RUDID_CALL RudidFunctionResult(int function) {
    const ExportDescriptor *fn = DescriptorAt(function);
    return fn ? fn->resultQuantity : RUDID_NO_QUANTITY;
}

RUDID_API const char *RUDID_CALL RudidQuantityName(int quantity) {
    return quantity == RUDID_QUALITY ? "quality" : QuantityName(quantity);
}

RUDID_API const char *RUDID_CALL RudidInternalUnit(int quantity) {
    return quantity == RUDID_QUALITY ? "" : InternalUnitName(quantity);
}

RUDID_API int RUDID_CALL RudidUnitCount(int quantity) {
    if (!IsQuantityCode(quantity)) return 0;
    return UnitListFor(QuantityCode(quantity)).lastIndex + 1;
}

RUDID_API const char *RUDID_CALL RudidUnitName(int quantity, int selection) {
    if (!IsQuantityCode(quantity)) return nullptr;
    const UnitList list = UnitListFor(QuantityCode(quantity));
    if (list.names == nullptr || selection < 0 || selection > list.lastIndex) return nullptr;
    return list.names[selection];
}

RUDID_API int RUDID_CALL RudidUnitSelectionWord(int quantity) {
    if (!IsQuantityCode(quantity) || UnitListFor(QuantityCode(quantity)).names == nullptr) return -1;
    // A quantity per degree follows the temperature scale in use.
    return quantity == PerDegree ? int(Temperature) : quantity;
}

RUDID_API const char *RUDID_CALL RudidConfiguredUnit(int quantity) {
    if (!IsQuantityCode(quantity)) return "";
    return ConfiguredUnitName(quantity);
}

RUDID_API double RUDID_CALL RudidToConfiguredUnit(int quantity, double internalValue) {
    return ConvertConfigured(quantity, internalValue, true);
}

RUDID_API double RUDID_CALL RudidFromConfiguredUnit(int quantity, double configuredValue) {
    return ConvertConfigured(quantity, configuredValue, false);
}

RUDID_API int RUDID_CALL RudidRangeCode(double result) {
    if (!(result >= RUDID_ON_SATURATION_LINE && result <= RUDID_PRESSURE_OUT_OF_RANGE)) return 0;
    const int code = int(result);
    if (double(code) != result) return 0;
    // -1006 to -1011 are not error codes.
    return code <= RUDID_ENTROPY_OUTSIDE_TABLE || code >= RUDID_TEMPERATURE_ABOVE_CRITICAL ? code : 0;
}

RUDID_API const char *RUDID_CALL RudidRangeMessage(int function, int code) {
    const ExportDescriptor *fn = DescriptorAt(function);
    const bool any = fn == nullptr;
    const bool saturation = fn && (fn->family == ExportFamily::SaturationByPressure ||
                                   fn->family == ExportFamily::SaturationByTemperature);
    const bool pressureTemperature = fn && fn->family == ExportFamily::PressureTemperature;
    char *out = tRangeMessage;
    const int size = sizeof tRangeMessage;
    // Only the limits a message names are converted.
    switch (code) {
        case RUDID_PRESSURE_OUT_OF_RANGE: {
            const Limit low = InConfiguredUnit(RUDID_PRESSURE, kLowestPressure);
            const Limit high = InConfiguredUnit(RUDID_PRESSURE, kHighestPressure);
            if (any)
                std::snprintf(out, size,
                              "pressure below %.6g %s (or above %.6g %s outside the saturation functions)",
                              low.value, low.unit, high.value, high.unit);
            else if (saturation)
                std::snprintf(out, size, "pressure below %.6g %s", low.value, low.unit);
            else
                std::snprintf(out, size, "pressure below %.6g %s or above %.6g %s", low.value, low.unit,
                              high.value, high.unit);
            return out;
        }
        case RUDID_TEMPERATURE_OUT_OF_RANGE: {
            const Limit low = InConfiguredUnit(RUDID_TEMPERATURE, kLowestTemperature);
            const Limit high = InConfiguredUnit(RUDID_TEMPERATURE, kHighestTemperature);
            if (any)
                std::snprintf(out, size,
                              "temperature below %.6g %s (or above %.6g %s at pressure and temperature)",
                              low.value, low.unit, high.value, high.unit);
            else if (pressureTemperature)
                std::snprintf(out, size, "temperature below %.6g %s or above %.6g %s", low.value, low.unit,
                              high.value, high.unit);
            else
                std::snprintf(out, size, "temperature below %.6g %s", low.value, low.unit);
            return out;
        }
        case RUDID_QUALITY_OUT_OF_RANGE: return "quality below 0 or above 1";
        case RUDID_PRESSURE_ABOVE_CRITICAL: {
            const Limit critical = InConfiguredUnit(RUDID_PRESSURE, kCriticalPressure);
            std::snprintf(out, size, "pressure above %.6g %s, the critical pressure", critical.value,
                          critical.unit);
            return out;
        }
        case RUDID_TEMPERATURE_ABOVE_CRITICAL: {
            const Limit critical = InConfiguredUnit(RUDID_TEMPERATURE, kCriticalTemperature);
            std::snprintf(out, size, "temperature above %.6g %s, the critical temperature", critical.value,
                          critical.unit);
            return out;
        }
        case RUDID_ENTROPY_OUTSIDE_TABLE: return "entropy outside the table at this pressure";
        case RUDID_VOLUME_OUTSIDE_TABLE: return "specific volume outside the table at this pressure";
        case RUDID_ENTHALPY_OUTSIDE_TABLE: return "enthalpy outside the table at this pressure";
        case RUDID_ON_SATURATION_LINE:
            return "pressure and temperature on the saturation line (give a quality instead)";
        default: return nullptr;
    }
}

RUDID_API const char *RUDID_CALL RudidFailureMessage(int code) {
    FailureMessage(code, tFailureMessage, sizeof tFailureMessage);
    return tFailureMessage;
}

}  // extern "C"
