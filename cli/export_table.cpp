#include "export_table.h"

#include <strings.h>

#include <string>

#include "rudid32.h"

namespace rudid::cli {

namespace {

using enum Quantity;
using enum ExportFamily;

constexpr ExportInfo kExports[] = {
    {"AQPPT", "saturation temperature at a pressure", SaturationByPressure, 1, {Pressure}, Temperature, AQPPT, nullptr},
    {"AQPTP", "saturation pressure at a temperature", SaturationByTemperature, 1, {Temperature}, Pressure, AQPTP, nullptr},
    {"AQPTQH", "enthalpy of the saturated mixture", SaturationByTemperature, 2, {Temperature, Quality}, SpecificEnthalpy, nullptr, AQPTQH},
    {"AQPTQS", "entropy of the saturated mixture", SaturationByTemperature, 2, {Temperature, Quality}, SpecificEntropy, nullptr, AQPTQS},
    {"AQPTQV", "specific volume of the saturated mixture", SaturationByTemperature, 2, {Temperature, Quality}, SpecificVolume, nullptr, AQPTQV},
    {"AQPPQH", "enthalpy of the saturated mixture", SaturationByPressure, 2, {Pressure, Quality}, SpecificEnthalpy, nullptr, AQPPQH},
    {"AQPPQS", "entropy of the saturated mixture", SaturationByPressure, 2, {Pressure, Quality}, SpecificEntropy, nullptr, AQPPQS},
    {"AQPPQV", "specific volume of the saturated mixture", SaturationByPressure, 2, {Pressure, Quality}, SpecificVolume, nullptr, AQPPQV},
    {"AQPPTH", "enthalpy at pressure and temperature", PressureTemperature, 2, {Pressure, Temperature}, SpecificEnthalpy, nullptr, AQPPTH},
    {"AQPPTS", "entropy at pressure and temperature", PressureTemperature, 2, {Pressure, Temperature}, SpecificEntropy, nullptr, AQPPTS},
    {"AQPPTV", "specific volume at pressure and temperature", PressureTemperature, 2, {Pressure, Temperature}, SpecificVolume, nullptr, AQPPTV},
    {"AQPPHT", "temperature at pressure and enthalpy", PressureEnthalpy, 2, {Pressure, SpecificEnthalpy}, Temperature, nullptr, AQPPHT},
    {"AQPPHS", "entropy at pressure and enthalpy", PressureEnthalpy, 2, {Pressure, SpecificEnthalpy}, SpecificEntropy, nullptr, AQPPHS},
    {"AQPPHV", "specific volume at pressure and enthalpy", PressureEnthalpy, 2, {Pressure, SpecificEnthalpy}, SpecificVolume, nullptr, AQPPHV},
    {"AQPPHQ", "quality at pressure and enthalpy", PressureEnthalpy, 2, {Pressure, SpecificEnthalpy}, Quality, nullptr, AQPPHQ},
    {"AQPPST", "temperature at pressure and entropy", PressureEntropy, 2, {Pressure, SpecificEntropy}, Temperature, nullptr, AQPPST},
    {"AQPPSH", "enthalpy at pressure and entropy", PressureEntropy, 2, {Pressure, SpecificEntropy}, SpecificEnthalpy, nullptr, AQPPSH},
    {"AQPPSV", "specific volume at pressure and entropy", PressureEntropy, 2, {Pressure, SpecificEntropy}, SpecificVolume, nullptr, AQPPSV},
    {"AQPPSQ", "quality at pressure and entropy", PressureEntropy, 2, {Pressure, SpecificEntropy}, Quality, nullptr, AQPPSQ},
    {"AQPPVT", "temperature at pressure and specific volume", PressureVolume, 2, {Pressure, SpecificVolume}, Temperature, nullptr, AQPPVT},
    {"AQPPVH", "enthalpy at pressure and specific volume", PressureVolume, 2, {Pressure, SpecificVolume}, SpecificEnthalpy, nullptr, AQPPVH},
    {"AQPPVS", "entropy at pressure and specific volume", PressureVolume, 2, {Pressure, SpecificVolume}, SpecificEntropy, nullptr, AQPPVS},
    {"AQPPVQ", "quality at pressure and specific volume", PressureVolume, 2, {Pressure, SpecificVolume}, Quality, nullptr, AQPPVQ},
};

}  // namespace

std::span<const ExportInfo> Exports() { return kExports; }

const ExportInfo *FindExport(std::string_view name) {
    const std::string text(name);
    for (const ExportInfo &info : kExports)
        if (strcasecmp(info.name, text.c_str()) == 0) return &info;
    return nullptr;
}

const char *QuantityWord(Quantity quantity) {
    switch (quantity) {
        case Pressure: return "pressure";
        case SpecificEnthalpy: return "specific enthalpy";
        case Temperature: return "temperature";
        case SpecificEntropy: return "specific entropy";
        case SpecificVolume: return "specific volume";
        case Quality: return "quality";
    }
    return "";
}

}  // namespace rudid::cli
