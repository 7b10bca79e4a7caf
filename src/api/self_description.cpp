// The library describes itself: its property functions, the quantities and
// units it works in, and the meaning of every code it answers with. Tools
// and bindings ask these functions instead of keeping copies of the lists.
#define RUDID_BUILDING_LIBRARY
#include "rudid32.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <strings.h>

#include "api/context.h"
#include "api/export_table.h"
#include "api/family_description.h"
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

const char *ConfiguredUnitName(int quantity) { return Startup().unitName[quantity]; }

// The largest magnitude a six-byte real holds is just below 2^127.
constexpr double kAboveReal48 = 0x1p127;

double QuietNaN() { return std::numeric_limits<double>::quiet_NaN(); }

// Converts between the internal and the configured unit with the factor the
// property functions use, under the library's arithmetic. NaN for a
// quantity that has no factor, and for a value that is not a number below
// 2^127 in magnitude or whose conversion is not (the six-byte reals of the
// conversion hold no more): never the overflow failure of a property
// function. A quality comes back as it is, a signalling NaN quietened.
double ConvertInLibraryArithmetic(int quantity, double value, bool intoConfigured,
                                  const StartupConfiguration &config = Startup()) {
    if (quantity == RUDID_QUALITY) return std::isnan(value) ? QuietNaN() : value;
    if (!IsQuantityCode(quantity)) return QuietNaN();
    if (!config.unitRecognised[quantity] || UnitListFor(QuantityCode(quantity)).names == nullptr)
        return QuietNaN();
    if (!(std::fabs(value) < kAboveReal48)) return QuietNaN();
    const QuantityCode code = QuantityCode(quantity);
    const Extended widenedFactor = Real48ToExtended(config.unitFactor[quantity]);
    try {
        const Extended converted = intoConfigured ? FromInternalUnit(code, Extended(value), widenedFactor)
                                                  : ToInternalUnit(code, Extended(value), widenedFactor);
        return double(converted);
    } catch (const LibraryFailure &) {
        return QuietNaN();
    }
}

// The exported conversions: the argument is read only once the library's
// arithmetic is in force (a signalling NaN would trap a host that unmasks
// invalid operations), and the result is rounded to a double before the
// host's environment comes back.
__attribute__((noinline)) double ConvertConfigured(int quantity, const double *value, bool intoConfigured,
                                                   const StartupConfiguration &config = Startup()) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    double argument;
    std::memcpy(&argument, value, sizeof argument);
    volatile double result = ConvertInLibraryArithmetic(quantity, argument, intoConfigured, config);
    platform::LeaveLibraryArithmetic(saved);
    return result;
}

// A limit in the configured unit of its quantity, with its unit name.
struct Limit {
    double value;
    const char *unit;
};

Limit InConfiguredUnit(int quantity, Extended internal, const StartupConfiguration &config) {
    return {ConvertInLibraryArithmetic(quantity, double(internal), true, config), config.unitName[quantity]};
}

thread_local char tRangeMessage[160];
thread_local char tFailureMessage[64];

// The error codes, and the bits of each as the double a property function
// answers with (-1006 to -1011 are not error codes).
constexpr int kRangeCodes[] = {
    RUDID_PRESSURE_OUT_OF_RANGE,   RUDID_TEMPERATURE_OUT_OF_RANGE, RUDID_QUALITY_OUT_OF_RANGE,
    RUDID_PRESSURE_ABOVE_CRITICAL, RUDID_TEMPERATURE_ABOVE_CRITICAL, RUDID_ENTROPY_OUTSIDE_TABLE,
    RUDID_VOLUME_OUTSIDE_TABLE,    RUDID_ENTHALPY_OUTSIDE_TABLE,   RUDID_ON_SATURATION_LINE,
};
constexpr auto kRangeCodeBits = [] {
    std::array<std::uint64_t, std::size(kRangeCodes)> bits{};
    for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = std::bit_cast<std::uint64_t>(double(kRangeCodes[i]));
    return bits;
}();

const char *RangeMessage(int function, int code, const StartupConfiguration &config);

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
    return ConvertConfigured(quantity, &internalValue, true);
}

RUDID_API double RUDID_CALL RudidContextConvert(const RudidContext *context, int quantity, double value,
                                               int intoContextUnit) {
    const StartupConfiguration &config = context ? ConfigOf(*context) : Startup();
    return ConvertConfigured(quantity, &value, intoContextUnit != 0, config);
}

RUDID_API double RUDID_CALL RudidFromConfiguredUnit(int quantity, double configuredValue) {
    return ConvertConfigured(quantity, &configuredValue, false);
}

// Compares bits only: a host calls this on every result, NaNs of failed
// batch rows among them, and no floating-point instruction here can trap a
// host that unmasks invalid operations or disturb its flags.
RUDID_API int RUDID_CALL RudidRangeCode(double result) {
    std::uint64_t bits;
    std::memcpy(&bits, &result, sizeof bits);
    for (std::size_t i = 0; i < std::size(kRangeCodes); ++i)
        if (bits == kRangeCodeBits[i]) return kRangeCodes[i];
    return 0;
}

RUDID_API const char *RUDID_CALL RudidRangeMessage(int function, int code) {
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    const char *message = RangeMessage(function, code, Startup());
    platform::LeaveLibraryArithmetic(saved);
    return message;
}

RUDID_API const char *RUDID_CALL RudidContextRangeMessage(const RudidContext *context, int function, int code) {
    const StartupConfiguration &config = context ? ConfigOf(*context) : Startup();
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    const char *message = RangeMessage(function, code, config);
    platform::LeaveLibraryArithmetic(saved);
    return message;
}

RUDID_API const char *RUDID_CALL RudidFailureMessage(int code) {
    FailureMessage(code, tFailureMessage, sizeof tFailureMessage);
    return tFailureMessage;
}

}  // extern "C"

namespace rudid {
namespace {

// The meaning of each code that no range test words, in the words every
// host shows: the lookups' refusals, and the codes of the properties of a
// state that has none of its own.
struct CodeWords {
    int code;
    const char *words;
};
constexpr CodeWords kCodeWords[] = {
    {RUDID_ENTROPY_OUTSIDE_TABLE, "entropy outside the table at this pressure"},
    {RUDID_VOLUME_OUTSIDE_TABLE, "specific volume outside the table at this pressure"},
    {RUDID_ENTHALPY_OUTSIDE_TABLE, "enthalpy outside the table at this pressure"},
    {RUDID_ON_SATURATION_LINE, "pressure and temperature on the saturation line (give a quality instead)"},
    {RUDID_NO_STATE, "no state in the tables has these two properties"},
    {RUDID_NO_QUALITY, "a single phase: no quality"},
    {RUDID_TWO_PHASE, "wet steam: a property of a single phase"},
    {RUDID_NOT_SATURATED, "a single phase: only along the saturation line"},
    {RUDID_NO_FORMULATION_STATE, "no stable state of the formulation here"},
};

// The words of a range test's failure with code, for one family's test:
// "pressure below 0.01 bar", "... or above 1000 bar", "pressure above
// 221.2 bar, the critical pressure". Only the limits named are converted.
void WordCheck(const RangeCheck &check, int code, char *out, int size, const StartupConfiguration &config) {
    const char *quantity = RudidQuantityName(check.quantity);
    if (check.quantity == RUDID_QUALITY) {
        std::snprintf(out, size, "%s below %.6g or above %.6g", quantity, double(check.low), double(check.high));
    } else if (code != check.belowCode) {
        const Limit critical = InConfiguredUnit(check.quantity, check.high, config);
        std::snprintf(out, size, "%s above %.6g %s, the critical %s", quantity, critical.value, critical.unit,
                      quantity);
    } else if (code != check.aboveCode) {
        const Limit low = InConfiguredUnit(check.quantity, check.low, config);
        std::snprintf(out, size, "%s below %.6g %s", quantity, low.value, low.unit);
    } else {
        const Limit low = InConfiguredUnit(check.quantity, check.low, config);
        const Limit high = InConfiguredUnit(check.quantity, check.high, config);
        std::snprintf(out, size, "%s below %.6g %s or above %.6g %s", quantity, low.value, low.unit, high.value,
                      high.unit);
    }
}

// What RudidRangeMessage answers, under the library's arithmetic: the limits
// are converted and formatted as doubles.
const char *RangeMessage(int function, int code, const StartupConfiguration &config) {
    const ExportDescriptor *fn = DescriptorAt(function);
    char *out = tRangeMessage;
    const int size = sizeof tRangeMessage;
    if (fn == nullptr && (code == RUDID_PRESSURE_OUT_OF_RANGE || code == RUDID_TEMPERATURE_OUT_OF_RANGE)) {
        // Any function: the lower limit holds for all, the upper for some.
        const bool pressure = code == RUDID_PRESSURE_OUT_OF_RANGE;
        const RangeCheck &check = pressure ? kPressureInTable : kTemperatureInTable;
        const Limit low = InConfiguredUnit(check.quantity, check.low, config);
        const Limit high = InConfiguredUnit(check.quantity, check.high, config);
        std::snprintf(out, size, "%s below %.6g %s (or above %.6g %s %s)", RudidQuantityName(check.quantity),
                      low.value, low.unit, high.value, high.unit,
                      pressure ? "outside the saturation functions" : "at pressure and temperature");
        return out;
    }
    if (const RangeCheck *check = CheckWithCode(fn, code)) {
        WordCheck(*check, code, out, size, config);
        return out;
    }
    for (const CodeWords &entry : kCodeWords)
        if (entry.code == code) return entry.words;
    return nullptr;
}

}  // namespace
}  // namespace rudid
