// The IAPWS-IF97 basic equations of regions 1, 2 and 3, evaluated for the
// properties the tables do not hold: the heat capacities, the speed of
// sound, and the density with its derivative along an isotherm (for the
// thermal conductivity's critical enhancement). Regions 1 and 2 are Gibbs
// functions of pressure and temperature; region 3 is a Helmholtz function
// of density and temperature, whose density at a pressure is found by
// Newton's method from a first guess.
//
// Units: pressure MPa, temperature K, density kg/m3, heat capacities
// kJ/(kg K), speed of sound m/s, density per pressure kg/(m3 MPa).
#pragma once

#include "formulation/elementary.h"

namespace rudid::formulation {

// Water's critical point as the formulations take it: IF97's region 3 and
// the transport correlations reduce by it.
constexpr Real kCriticalTemperature = 647.096;  // K
constexpr Real kCriticalDensity = 322;          // kg/m3
constexpr Real kCriticalPressure = 22.064;      // MPa

enum class Region { Liquid = 1, Vapour = 2, NearCritical = 3 };

struct CaloricProperties {
    Real density;
    Real cp;
    Real cv;
    Real speedOfSound;
    Real densityByPressure;  // (d rho / d p) at constant T
};

// The region of IAPWS-IF97 whose equation describes a single-phase state
// of the given side of the saturation line (liquid: compressed or
// saturated liquid, or supercritical below the region 2-3 boundary's
// temperatures; otherwise vapour).
Region RegionOf(Real pressure, Real temperature, bool liquidSide);

// Regions 1 and 2 at (p, T); region 3 at the density that gives p at T,
// found from densityGuess. False where the equation gives no stable state
// there (a negative compressibility, a Newton search that does not settle).
bool CaloricAt(Region region, Real pressure, Real temperature, Real densityGuess,
               CaloricProperties *out);

// The density alone, as CaloricAt finds it; kNoDensity where CaloricAt
// would give no state for want of one.
constexpr Real kNoDensity = -1;
Real DensityAt(Region region, Real pressure, Real temperature, Real densityGuess);

}  // namespace rudid::formulation
