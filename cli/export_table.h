// The library's property functions as it describes them: name, arguments
// and result. The tool keeps no list of its own; everything here is asked
// of the library once, at the first use.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "rudid32.h"

namespace rudid::cli {

// Quantity codes of the values the property functions take and return; a
// quality is a plain fraction and has no unit.
enum class Quantity : int {
    None = RUDID_NO_QUANTITY,
    Quality = RUDID_QUALITY,
    Pressure = RUDID_PRESSURE,
    SpecificEnthalpy = RUDID_SPECIFIC_ENTHALPY,
    Temperature = RUDID_TEMPERATURE,
    SpecificEntropy = RUDID_SPECIFIC_ENTROPY,
    SpecificVolume = RUDID_SPECIFIC_VOLUME,
    // Given only, to the state solver: a density, and an internal energy
    // (no quantity code of its own: in the unit of specific enthalpy).
    Density = RUDID_DENSITY,
    InternalEnergy = 1000,
};

using OneArgumentFunction = double *(*)(double);
using TwoArgumentFunction = double *(*)(double, double);

struct ExportInfo {
    int index = -1;  // the library's number of the function
    std::string name;
    std::string summary;
    int arity = 0;
    Quantity arguments[2] = {Quantity::None, Quantity::None};
    Quantity result = Quantity::None;
    // The exported function itself; null when the process cannot see the
    // symbol, and the call then goes through the batch function.
    OneArgumentFunction one = nullptr;  // arity 1
    TwoArgumentFunction two = nullptr;  // arity 2
};

std::span<const ExportInfo> Exports();

// The export of that name, matched without regard to case; nullptr if none.
const ExportInfo *FindExport(std::string_view name);

// The export that gives `result` from these arguments in this order
// (second None for a function of one argument); nullptr if none does.
const ExportInfo *FindExportFor(Quantity result, Quantity first, Quantity second = Quantity::None);

// "pressure", "specific enthalpy", ..., "quality", as the library names them.
std::string QuantityWord(Quantity quantity);

}  // namespace rudid::cli
