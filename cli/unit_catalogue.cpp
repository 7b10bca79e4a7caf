#include "unit_catalogue.h"

#include <cctype>
#include <charconv>
#include <string>

namespace rudid::cli {

namespace {

constexpr const char *kLength[] = {"m", "dm", "cm", "mm", "yd", "ft", "in"};
constexpr const char *kArea[] = {"m2", "dm2", "cm2", "mm2", "yd2", "ft2", "in2"};
constexpr const char *kDensity[] = {"ton/m3", "kg/m3", "kg/dm3", "lbm/in3", "lbm/ft3"};
constexpr const char *kPressure[] = {"bar", "Pa",      "N/m2",    "MPa",  "at",  "atm",
                                     "dyn/cm2", "kp/cm2", "kp/m2", "mmHg", "psi", "ksi"};
constexpr const char *kForce[] = {"N", "kN", "kp", "dyn", "lbf"};
constexpr const char *kSpecificEnthalpy[] = {"kJ/kg", "J/kg", "erg/g", "Btu/lbm"};
constexpr const char *kTemperature[] = {"C", "K", "F"};
constexpr const char *kVelocity[] = {"m/s", "cm/s", "mm/s", "ft/s", "in/s"};
constexpr const char *kTorque[] = {"Nm", "kNm", "kpm", "dyn.cm", "lbf.ft"};
constexpr const char *kPower[] = {"MW", "kW", "W", "hp", "kcal/h", "kpm/s", "J/s", "erg/s", "ft-lbf/s", "Btu/h"};
constexpr const char *kSpecificEntropy[] = {"kJ/kg,K", "J/kg,k", "erg/g,K", "Btu/lbm,F"};
constexpr const char *kSpecificVolume[] = {"m3/ton", "m3/kg", "dm3/kg", "in3/lbm", "ft3/lbm"};
constexpr const char *kVolumeFlow[] = {"m3/s", "m3/min", "m3/h", "l/s", "cm3/s", "cfm"};
constexpr const char *kMassFlow[] = {"ton/h", "kg/h", "kg/min", "kg/s", "lbm/s"};
constexpr const char *kEnergyPerVolume[] = {"MWh/m3", "kWh/m3", "J/m3", "J/l", "kWh/ft3", "hp/cfm"};
constexpr const char *kViscosity[] = {"Ns/m2", "kg/m,s", "g/cm,s", "lbm.s/ft2"};
constexpr const char *kMolarMass[] = {"kg/kmol", "g/mol", "lbm/kmol"};
constexpr const char *kThermalConductivity[] = {"KW/m,C", "W/m,C", "erg/cm,s,C", "Btu/ft,s,F"};
constexpr const char *kHeatTransferCoefficient[] = {"kW/m2,C", "W/m2,C", "erg/cm2,s,C", "Btu/ft2,s,F"};

constexpr QuantityInfo kQuantities[kQuantityCount] = {
    {0, "length", "m", kLength, 0},
    {1, "area", "m2", kArea, 1},
    {2, "density", "kg/m3", kDensity, 2},
    {3, "pressure", "bar", kPressure, 3},
    {4, "force", "N", kForce, 4},
    {5, "specific-enthalpy", "kJ/kg", kSpecificEnthalpy, 5},
    {6, "temperature", "C", kTemperature, 6},
    {7, "velocity", "m/s", kVelocity, 7},
    {8, "torque", "Nm", kTorque, 8},
    {9, "power", "kW", kPower, 9},
    {10, "specific-entropy", "kJ/kg,K", kSpecificEntropy, 10},
    {11, "", "", {}, -1},
    {12, "specific-volume", "m3/kg", kSpecificVolume, 12},
    {13, "volume-flow", "m3/s", kVolumeFlow, 13},
    {14, "mass-flow", "kg/s", kMassFlow, 14},
    {15, "", "", {}, -1},
    {16, "", "", {}, -1},
    {17, "", "", {}, -1},
    {18, "", "", {}, -1},
    {19, "energy-per-volume", "kJ/m3", kEnergyPerVolume, 19},
    {20, "viscosity", "Ns/m2", kViscosity, 20},
    {21, "molar-mass", "kg/kmol", kMolarMass, 21},
    // A quantity per degree is named by the temperature scale: it follows
    // the temperature selection and has no word of its own.
    {22, "per-degree", "1/K", kTemperature, 6},
    {23, "thermal-conductivity", "kW/m,C", kThermalConductivity, 23},
    {24, "heat-transfer-coefficient", "kW/m2,C", kHeatTransferCoefficient, 24},
    {25, "dimensionless", "", {}, -1},
};

// Lower case without blanks, "-" and "_".
std::string Folded(std::string_view text) {
    std::string folded;
    for (char c : text)
        if (c != ' ' && c != '-' && c != '_') folded += char(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool EqualWithoutCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::span<const QuantityInfo> Quantities() { return kQuantities; }

bool IsReserved(const QuantityInfo &quantity) { return *quantity.name == '\0'; }

const QuantityInfo *FindQuantity(std::string_view text) {
    int code = -1;
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), code);
    if (read.ec == std::errc() && read.ptr == text.data() + text.size())
        return code >= 0 && code < kQuantityCount ? &kQuantities[code] : nullptr;

    const std::string folded = Folded(text);
    if (folded.empty()) return nullptr;
    if (folded == "enthalpy") return &kQuantities[5];
    if (folded == "entropy") return &kQuantities[10];
    if (folded == "volume") return &kQuantities[12];
    for (const QuantityInfo &quantity : kQuantities)
        if (!IsReserved(quantity) && Folded(quantity.name) == folded) return &quantity;
    return nullptr;
}

std::optional<int> FindUnitIndex(const QuantityInfo &quantity, std::string_view name) {
    for (std::size_t i = 0; i < quantity.units.size(); ++i)
        if (name == quantity.units[i]) return int(i);
    for (std::size_t i = 0; i < quantity.units.size(); ++i)
        if (EqualWithoutCase(name, quantity.units[i])) return int(i);
    return std::nullopt;
}

bool SelectionInRange(const QuantityInfo &quantity, std::int16_t word) {
    return word >= 0 && std::size_t(word) < quantity.units.size();
}

const char *SelectedUnit(const QuantityInfo &quantity, std::int16_t word) {
    if (quantity.units.empty()) return nullptr;
    return quantity.units[SelectionInRange(quantity, word) ? std::size_t(word) : 0];
}

}  // namespace rudid::cli
