// Quantity codes: the physical quantities whose values cross the library
// boundary in a unit of the user's choice. A code selects the list of unit
// names offered for the quantity, its word of the unit selections and its
// recognition table.
//
// Codes 11 and 15 to 18 are reserved: they have no name, no unit list and no
// recognition table, and stay plain numbers.
#pragma once

#include <cstdint>

#include "rudid32.h"

namespace rudid {

enum QuantityCode : std::uint8_t {
    Length = 0,                    // metre
    Area = 1,                      // square metre
    Density = 2,                   // kg per cubic metre
    Pressure = RUDID_PRESSURE,     // bar (3)
    Force = 4,                     // newton
    SpecificEnthalpy = RUDID_SPECIFIC_ENTHALPY,  // kJ per kg (5)
    Temperature = RUDID_TEMPERATURE,             // degree Celsius (6)
    Velocity = 7,                  // metre per second
    Torque = 8,                    // newton metre
    Power = 9,                     // kilowatt
    SpecificEntropy = RUDID_SPECIFIC_ENTROPY,    // kJ per kg and kelvin (10)
    SpecificVolume = RUDID_SPECIFIC_VOLUME,      // cubic metre per kg (12)
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

// The public header names the codes that cross the library boundary, and
// their count; the other codes follow from them.
constexpr int kQuantityCodeCount = RUDID_QUANTITY_COUNT;
static_assert(Dimensionless == kQuantityCodeCount - 1, "codes run from 0 to the count less one");

}  // namespace rudid
