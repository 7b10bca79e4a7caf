// The 23 property functions as data: what each takes, how its arguments are
// tested, which lookup answers it and which output it returns. One call
// skeleton runs them all. Every fact comes from the list of the public
// header, RUDID_PROPERTY_FUNCTIONS.
#pragma once

#include <optional>

#include "rudid32.h"
#include "units/quantity.h"

namespace rudid {

enum class ExportId : int {
#define RUDID_EXPORT_ID(name, ...) name,
    RUDID_PROPERTY_FUNCTIONS(RUDID_EXPORT_ID)
#undef RUDID_EXPORT_ID
};
#define RUDID_EXPORT_ONE(...) +1
constexpr int kExportCount = 0 RUDID_PROPERTY_FUNCTIONS(RUDID_EXPORT_ONE);
#undef RUDID_EXPORT_ONE

// How an export tests its arguments (family_description.h) and which
// lookup it asks.
enum class ExportFamily : int {
    SaturationByPressure,
    SaturationByTemperature,
    PressureTemperature,
    PressureEnthalpy,
    PressureEntropy,
    PressureVolume,
};

// An argument or result that is a quality carries no quantity and is never
// converted.
constexpr int kQuality = RUDID_QUALITY;
// The second argument of a one-argument export.
constexpr int kNoQuantity = RUDID_NO_QUANTITY;

// The Windows DLL's ordinals of the property functions: the first 23 on
// 1..23, and any later one in a block of its own from 201 up, clear of the
// library's other exports (24..99, 130..199) and of the Visual Basic twins
// (100 + the ordinal of a first function, 100 + that of a later one).
constexpr int kFirstFunctions = 23;
constexpr int kFirstLaterOrdinal = 201;
constexpr int OrdinalOfRow(int row) {
    return row < kFirstFunctions ? row + 1 : kFirstLaterOrdinal + (row - kFirstFunctions);
}

struct ExportDescriptor {
    const char *name;
    int ordinal;           // the Windows DLL's export ordinal
    int arguments;         // 1 or 2
    int firstArgument;     // QuantityCode of argument 1
    int secondArgument;    // QuantityCode of argument 2, kQuality or kNoQuantity
    int resultQuantity;    // QuantityCode, or kQuality for a quality result
    ExportFamily family;
    // The output taken from the lookup, counted from 0 in the lookup's order
    // (saturation: level, vf, vg, hf, hg, sf, sg; LookupPT: v, h, s;
    // inverse: T, second, third, quality). A two-argument saturation export
    // mixes `output` (liquid) and `output + 1` (vapour) by the quality.
    int output;
    double lookupRefusal;  // result when the lookup refuses the state
    const char *description;
};

const ExportDescriptor &Describe(ExportId id);

// Not an export: the side of the saturation line that the pressure-
// temperature lookup found a state on (a LineSide, 0 to 2, as the result),
// for the library's own callers to read beside the lookup's other outputs.
const ExportDescriptor &SideOfTheLine();

// The export of that name (exact case), if there is one.
std::optional<ExportId> FindExport(const char *name);

}  // namespace rudid
