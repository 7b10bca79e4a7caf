// The library's 23 property functions as the tool knows them: argument and
// result quantities, and the family that decides what an error code means.
#pragma once

#include <span>
#include <string_view>

namespace rudid::cli {

// Quantity codes of the values the property functions take and return; a
// quality is a plain fraction and has no code.
enum class Quantity : int {
    Quality = -1,
    Pressure = 3,
    SpecificEnthalpy = 5,
    Temperature = 6,
    SpecificEntropy = 10,
    SpecificVolume = 12,
};

// The families differ in their range tests: the saturation functions stop
// at the critical point, the others at 1000 bar (and 800 C).
enum class ExportFamily {
    SaturationByPressure,     // AQPPT, AQPPQH/S/V
    SaturationByTemperature,  // AQPTP, AQPTQH/S/V
    PressureTemperature,      // AQPPTH/S/V
    PressureEnthalpy,         // AQPPHT/S/V/Q
    PressureEntropy,          // AQPPST/H/V/Q
    PressureVolume,           // AQPPVT/H/S/Q
};

using OneArgumentFunction = double *(*)(double);
using TwoArgumentFunction = double *(*)(double, double);

struct ExportInfo {
    const char *name;
    const char *summary;
    ExportFamily family;
    int arity;
    Quantity arguments[2];
    Quantity result;
    OneArgumentFunction one;  // set when arity is 1
    TwoArgumentFunction two;  // set when arity is 2
};

std::span<const ExportInfo> Exports();

// The export of that name, matched without regard to case; nullptr if none.
const ExportInfo *FindExport(std::string_view name);

// "pressure", "specific enthalpy", ..., "quality".
const char *QuantityWord(Quantity quantity);

}  // namespace rudid::cli
