#include "api/export_table.h"

#include <cstring>

namespace rudid {

namespace {

using F = ExportFamily;

constexpr ExportDescriptor kExports[kExportCount] = {
    {"AQPPT", 1, F::SaturationByPressure, kQuality, 0, Temperature, 0},
    {"AQPTP", 1, F::SaturationByTemperature, kQuality, 0, Pressure, 0},
    {"AQPTQH", 2, F::SaturationByTemperature, kQuality, 3, SpecificEnthalpy, 0},
    {"AQPTQS", 2, F::SaturationByTemperature, kQuality, 5, SpecificEntropy, 0},
    {"AQPTQV", 2, F::SaturationByTemperature, kQuality, 1, SpecificVolume, 0},
    {"AQPPQH", 2, F::SaturationByPressure, kQuality, 3, SpecificEnthalpy, 0},
    {"AQPPQS", 2, F::SaturationByPressure, kQuality, 5, SpecificEntropy, 0},
    {"AQPPQV", 2, F::SaturationByPressure, kQuality, 1, SpecificVolume, 0},
    {"AQPPTH", 2, F::PressureTemperature, Temperature, 1, SpecificEnthalpy, -1015.0},
    {"AQPPTS", 2, F::PressureTemperature, Temperature, 2, SpecificEntropy, -1015.0},
    {"AQPPTV", 2, F::PressureTemperature, Temperature, 0, SpecificVolume, -1015.0},
    {"AQPPHT", 2, F::PressureEnthalpy, SpecificEnthalpy, 0, Temperature, -1014.0},
    {"AQPPHS", 2, F::PressureEnthalpy, SpecificEnthalpy, 2, SpecificEntropy, -1014.0},
    {"AQPPHV", 2, F::PressureEnthalpy, SpecificEnthalpy, 1, SpecificVolume, -1014.0},
    {"AQPPHQ", 2, F::PressureEnthalpy, SpecificEnthalpy, 3, kQuality, -1014.0},
    {"AQPPST", 2, F::PressureEntropy, SpecificEntropy, 0, Temperature, -1012.0},
    {"AQPPSH", 2, F::PressureEntropy, SpecificEntropy, 2, SpecificEnthalpy, -1012.0},
    {"AQPPSV", 2, F::PressureEntropy, SpecificEntropy, 1, SpecificVolume, -1012.0},
    {"AQPPSQ", 2, F::PressureEntropy, SpecificEntropy, 3, kQuality, -1012.0},
    {"AQPPVT", 2, F::PressureVolume, SpecificVolume, 0, Temperature, -1013.0},
    {"AQPPVH", 2, F::PressureVolume, SpecificVolume, 1, SpecificEnthalpy, -1013.0},
    {"AQPPVS", 2, F::PressureVolume, SpecificVolume, 2, SpecificEntropy, -1013.0},
    {"AQPPVQ", 2, F::PressureVolume, SpecificVolume, 3, kQuality, -1013.0},
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
