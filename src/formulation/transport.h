// The transport properties and the surface tension of water and steam from
// the IAPWS correlations for industrial use: viscosity (IAPWS 2008, without
// the critical enhancement, which the industrial form leaves out), thermal
// conductivity (IAPWS 2011, with the critical enhancement of its
// industrial form, which needs the state's heat capacities and its density
// derivative along the isotherm) and surface tension (IAPWS 2014).
//
// Units: temperature K, density kg/m3; viscosity Pa s, thermal
// conductivity W/(m K), surface tension N/m.
#pragma once

#include "formulation/basic_equations.h"

namespace rudid::formulation {

Real Viscosity(Real temperature, Real density);

// The state's caloric properties and viscosity enter the critical
// enhancement.
Real ThermalConductivity(Real temperature, const CaloricProperties &state, Real viscosity);

// Along the saturation line, from the triple point to the critical
// temperature (647.096 K, where it is 0); NaN outside.
Real SurfaceTension(Real temperature);

}  // namespace rudid::formulation
