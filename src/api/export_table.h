// The 23 property functions as data: what each takes, how its arguments are
// tested, which lookup answers it and which output it returns. One call
// skeleton runs them all.
#pragma once

#include "units/quantity.h"

namespace rudid {

enum class ExportId : int {
    AQPPT, AQPTP, AQPTQH, AQPTQS, AQPTQV, AQPPQH, AQPPQS, AQPPQV,
    AQPPTH, AQPPTS, AQPPTV,
    AQPPHT, AQPPHS, AQPPHV, AQPPHQ,
    AQPPST, AQPPSH, AQPPSV, AQPPSQ,
    AQPPVT, AQPPVH, AQPPVS, AQPPVQ,
};
constexpr int kExportCount = 23;

// How an export tests its arguments and which lookup it asks.
enum class ExportFamily : int {
    SaturationByPressure,     // pressure 0.01..221.2 (-1001 / -1004), quality 0..1
    SaturationByTemperature,  // temperature 0..374.15 (-1002 / -1005), quality 0..1
    PressureTemperature,      // pressure 0.01..1000 (-1001), temperature 0..800 (-1002)
    PressureEnthalpy,         // pressure 0.01..1000 (-1001); the lookup refuses the rest
    PressureEntropy,
    PressureVolume,
};

// An argument that is a quality carries no quantity and is never converted.
constexpr int kQuality = -1;

struct ExportDescriptor {
    const char *name;
    int arguments;        // 1 or 2
    ExportFamily family;
    int secondArgument;   // QuantityCode of argument 2, or kQuality
    // The output taken from the lookup, counted from 0 in the lookup's order
    // (saturation: level, vf, vg, hf, hg, sf, sg; LookupPT: v, h, s;
    // inverse: T, second, third, quality). A two-argument saturation export
    // mixes `output` (liquid) and `output + 1` (vapour) by the quality.
    int output;
    int resultQuantity;   // QuantityCode, or kQuality for a quality result
    double lookupRefusal; // result when the lookup refuses the state
    const char *description;  // one line, e.g. "enthalpy at pressure and temperature"
};

const ExportDescriptor &Describe(ExportId id);

// The export of that name, or -1.
int FindExport(const char *name);

}  // namespace rudid
