#include "api/export_table.h"

#include <cstring>

namespace rudid {

namespace {

using F = ExportFamily;

constexpr ExportDescriptor kExports[kExportCount] = {
    {"AQPPT", 1, F::SaturationByPressure, kQuality, 0, Temperature, 0,
     "saturation temperature at a pressure"},
    {"AQPTP", 1, F::SaturationByTemperature, kQuality, 0, Pressure, 0,
     "saturation pressure at a temperature"},
    {"AQPTQH", 2, F::SaturationByTemperature, kQuality, 3, SpecificEnthalpy, 0,
     "enthalpy of the saturated mixture"},
    {"AQPTQS", 2, F::SaturationByTemperature, kQuality, 5, SpecificEntropy, 0,
     "entropy of the saturated mixture"},
    {"AQPTQV", 2, F::SaturationByTemperature, kQuality, 1, SpecificVolume, 0,
     "specific volume of the saturated mixture"},
    {"AQPPQH", 2, F::SaturationByPressure, kQuality, 3, SpecificEnthalpy, 0,
     "enthalpy of the saturated mixture"},
    {"AQPPQS", 2, F::SaturationByPressure, kQuality, 5, SpecificEntropy, 0,
     "entropy of the saturated mixture"},
    {"AQPPQV", 2, F::SaturationByPressure, kQuality, 1, SpecificVolume, 0,
     "specific volume of the saturated mixture"},
    {"AQPPTH", 2, F::PressureTemperature, Temperature, 1, SpecificEnthalpy, -1015.0,
     "enthalpy at pressure and temperature"},
    {"AQPPTS", 2, F::PressureTemperature, Temperature, 2, SpecificEntropy, -1015.0,
     "entropy at pressure and temperature"},
    {"AQPPTV", 2, F::PressureTemperature, Temperature, 0, SpecificVolume, -1015.0,
     "specific volume at pressure and temperature"},
    {"AQPPHT", 2, F::PressureEnthalpy, SpecificEnthalpy, 0, Temperature, -1014.0,
     "temperature at pressure and enthalpy"},
    {"AQPPHS", 2, F::PressureEnthalpy, SpecificEnthalpy, 2, SpecificEntropy, -1014.0,
     "entropy at pressure and enthalpy"},
    {"AQPPHV", 2, F::PressureEnthalpy, SpecificEnthalpy, 1, SpecificVolume, -1014.0,
     "specific volume at pressure and enthalpy"},
    {"AQPPHQ", 2, F::PressureEnthalpy, SpecificEnthalpy, 3, kQuality, -1014.0,
     "quality at pressure and enthalpy"},
    {"AQPPST", 2, F::PressureEntropy, SpecificEntropy, 0, Temperature, -1012.0,
     "temperature at pressure and entropy"},
    {"AQPPSH", 2, F::PressureEntropy, SpecificEntropy, 2, SpecificEnthalpy, -1012.0,
     "enthalpy at pressure and entropy"},
    {"AQPPSV", 2, F::PressureEntropy, SpecificEntropy, 1, SpecificVolume, -1012.0,
     "specific volume at pressure and entropy"},
    {"AQPPSQ", 2, F::PressureEntropy, SpecificEntropy, 3, kQuality, -1012.0,
     "quality at pressure and entropy"},
    {"AQPPVT", 2, F::PressureVolume, SpecificVolume, 0, Temperature, -1013.0,
     "temperature at pressure and specific volume"},
    {"AQPPVH", 2, F::PressureVolume, SpecificVolume, 1, SpecificEnthalpy, -1013.0,
     "enthalpy at pressure and specific volume"},
    {"AQPPVS", 2, F::PressureVolume, SpecificVolume, 2, SpecificEntropy, -1013.0,
     "entropy at pressure and specific volume"},
    {"AQPPVQ", 2, F::PressureVolume, SpecificVolume, 3, kQuality, -1013.0,
     "quality at pressure and specific volume"},
};

}  // namespace

const ExportDescriptor &Describe(ExportId id) { return kExports[int(id)]; }

int FindExport(const char *name) {
    if (!name) return -1;
    for (int i = 0; i < kExportCount; ++i)
        if (std::strcmp(kExports[i].name, name) == 0) return i;
    return -1;
}

}  // namespace rudid
