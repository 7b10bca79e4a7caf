// Quantity codes: the physical quantities whose values cross the library
// boundary in a unit of the user's choice. A code selects the list of unit
// names offered for the quantity, its word of the unit selections and its
// recognition table.
//
// Codes 11 and 15 to 18 are reserved: they have no name, no unit list and no
// recognition table, and stay plain numbers.
#pragma once

#include <cstdint>

namespace rudid {

enum QuantityCode : std::uint8_t {
    Length = 0,                    // metre
    Area = 1,                      // square metre
    Density = 2,                   // kg per cubic metre
    Pressure = 3,                  // bar
    Force = 4,                     // newton
    SpecificEnthalpy = 5,          // kJ per kg
    Temperature = 6,               // degree Celsius
    Velocity = 7,                  // metre per second
    Torque = 8,                    // newton metre
    Power = 9,                     // kilowatt
    SpecificEntropy = 10,          // kJ per kg and kelvin
    SpecificVolume = 12,           // cubic metre per kg
    VolumeFlow = 13,               // cubic metre per second
    MassFlow = 14,                 // kg per second
    EnergyPerVolume = 19,          // kJ per cubic metre
    Viscosity = 20,                // newton second per square metre
    MolarMass = 21,                // kg per kmol
    PerDegree = 22,                // per kelvin, named by the temperature scale
    ThermalConductivity = 23,      // kW per metre and degree Celsius
    HeatTransferCoefficient = 24,  // kW per square metre and degree Celsius
    Dimensionless = 25,            // no unit
};

constexpr int kQuantityCodeCount = 26;

}  // namespace rudid
