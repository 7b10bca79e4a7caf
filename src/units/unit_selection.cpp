#include "units/unit_selection.h"

#include <cstddef>

namespace rudid {

namespace {

// The names are shown to the user as they stand; recognition ignores case.
// The first name is the one used for a selection outside the list, and it is
// not always the internal unit.
constexpr const char *kLengthNames[] = {"m", "dm", "cm", "mm", "yd", "ft", "in"};
constexpr const char *kAreaNames[] = {"m2", "dm2", "cm2", "mm2", "yd2", "ft2", "in2"};
constexpr const char *kDensityNames[] = {"ton/m3", "kg/m3", "kg/dm3", "lbm/in3", "lbm/ft3"};
constexpr const char *kPressureNames[] = {"bar",    "Pa",     "N/m2",  "MPa",  "at",  "atm",
                                          "dyn/cm2", "kp/cm2", "kp/m2", "mmHg", "psi", "ksi"};
constexpr const char *kForceNames[] = {"N", "kN", "kp", "dyn", "lbf"};
constexpr const char *kSpecificEnthalpyNames[] = {"kJ/kg", "J/kg", "erg/g", "Btu/lbm"};
constexpr const char *kTemperatureNames[] = {"C", "K", "F"};
constexpr const char *kVelocityNames[] = {"m/s", "cm/s", "mm/s", "ft/s", "in/s"};
constexpr const char *kTorqueNames[] = {"Nm", "kNm", "kpm", "dyn.cm", "lbf.ft"};
constexpr const char *kPowerNames[] = {"MW",    "kW",  "W",     "hp",       "kcal/h",
                                       "kpm/s", "J/s", "erg/s", "ft-lbf/s", "Btu/h"};
constexpr const char *kSpecificEntropyNames[] = {"kJ/kg,K", "J/kg,k", "erg/g,K", "Btu/lbm,F"};
constexpr const char *kSpecificVolumeNames[] = {"m3/ton", "m3/kg", "dm3/kg", "in3/lbm",
                                                "ft3/lbm"};
constexpr const char *kVolumeFlowNames[] = {"m3/s", "m3/min", "m3/h", "l/s", "cm3/s", "cfm"};
constexpr const char *kMassFlowNames[] = {"ton/h", "kg/h", "kg/min", "kg/s", "lbm/s"};
constexpr const char *kEnergyPerVolumeNames[] = {"MWh/m3", "kWh/m3",  "J/m3",
                                                 "J/l",    "kWh/ft3", "hp/cfm"};
constexpr const char *kViscosityNames[] = {"Ns/m2", "kg/m,s", "g/cm,s", "lbm.s/ft2"};
constexpr const char *kMolarMassNames[] = {"kg/kmol", "g/mol", "lbm/kmol"};
constexpr const char *kThermalConductivityNames[] = {"KW/m,C", "W/m,C", "erg/cm,s,C",
                                                     "Btu/ft,s,F"};
constexpr const char *kHeatTransferCoefficientNames[] = {"kW/m2,C", "W/m2,C", "erg/cm2,s,C",
                                                         "Btu/ft2,s,F"};

template <std::size_t N>
constexpr UnitList ListOf(const char *const (&names)[N]) {
    static_assert(N >= 1 && N <= 12);
    return UnitList{names, static_cast<int>(N) - 1};
}

// The name at the selection when it lies in 0..lastIndex, else the first.
const char *PickUnitName(const char *const *names, int selection, int lastIndex) {
    if (selection < 0 || selection > lastIndex) return names[0];
    return names[selection];
}

}  // namespace

UnitList UnitListFor(QuantityCode code) {
    switch (code) {
        case Length: return ListOf(kLengthNames);
        case Area: return ListOf(kAreaNames);
        case Density: return ListOf(kDensityNames);
        case Pressure: return ListOf(kPressureNames);
        case Force: return ListOf(kForceNames);
        case SpecificEnthalpy: return ListOf(kSpecificEnthalpyNames);
        case Temperature: return ListOf(kTemperatureNames);
        case Velocity: return ListOf(kVelocityNames);
        case Torque: return ListOf(kTorqueNames);
        case Power: return ListOf(kPowerNames);
        case SpecificEntropy: return ListOf(kSpecificEntropyNames);
        case SpecificVolume: return ListOf(kSpecificVolumeNames);
        case VolumeFlow: return ListOf(kVolumeFlowNames);
        case MassFlow: return ListOf(kMassFlowNames);
        case EnergyPerVolume: return ListOf(kEnergyPerVolumeNames);
        case Viscosity: return ListOf(kViscosityNames);
        case MolarMass: return ListOf(kMolarMassNames);
        case PerDegree: return ListOf(kTemperatureNames);
        case ThermalConductivity: return ListOf(kThermalConductivityNames);
        case HeatTransferCoefficient: return ListOf(kHeatTransferCoefficientNames);
        default: return UnitList{nullptr, -1};
    }
}

const char *UnitNameFor(QuantityCode code, const std::int16_t selections[kUnitSelectionWordCount]) {
    if (code == Dimensionless) return "";
    const UnitList list = UnitListFor(code);
    if (list.names == nullptr) return nullptr;
    // Per-degree quantities are named by the temperature scale in use.
    const int word = code == PerDegree ? Temperature : code;
    return PickUnitName(list.names, selections[word], list.lastIndex);
}

}  // namespace rudid
