#include "api/derived_properties.h"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "common/constants.h"
#include "formulation/basic_equations.h"
#include "formulation/transport.h"

namespace rudid {

namespace {

using formulation::CaloricProperties;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Internal units of the catalogue: thermal conductivity in kW/(m C).
constexpr Extended kConductivityToInternal = 1e-3L;

// The quantity of each property's unit, in RUDID_PROPERTY_... order.
constexpr int kQuantity[kDerivedProperties] = {
    RUDID_DENSITY,   RUDID_SPECIFIC_ENTHALPY,    RUDID_SPECIFIC_ENTROPY, RUDID_SPECIFIC_ENTROPY,
    RUDID_VELOCITY,  RUDID_VISCOSITY,            RUDID_THERMAL_CONDUCTIVITY, RUDID_DIMENSIONLESS,
    RUDID_NO_QUANTITY};

// The state of one row in internal units, and what it is.
struct RowState {
    Extended p, t, h, v;  // bar, C, kJ/kg, m3/kg
    int phase;
};

struct RowOut {
    double *value;
    int *code;
    unsigned *flags;
    void Set(int k, Extended v) { value[k] = double(v), code[k] = 0; }
    void Fail(int k, int c) { value[k] = kNaN, code[k] = c; }
};

bool SaturationPhase(int phase) {
    return phase == RUDID_PHASE_WET_STEAM || phase == RUDID_PHASE_SATURATED_LIQUID ||
           phase == RUDID_PHASE_SATURATED_VAPOUR || phase == RUDID_PHASE_SATURATION_LINE;
}

bool SinglePhase(int phase) {
    return phase != RUDID_PHASE_WET_STEAM && phase != RUDID_PHASE_SATURATION_LINE && phase != RUDID_PHASE_UNKNOWN;
}

bool LiquidSide(int phase) {
    return phase == RUDID_PHASE_COMPRESSED_LIQUID || phase == RUDID_PHASE_SATURATED_LIQUID ||
           phase == RUDID_PHASE_SUPERCRITICAL_FLUID;
}

constexpr unsigned Bit(int property) { return 1u << property; }
constexpr unsigned kFromFormulations = Bit(RUDID_PROPERTY_CP) | Bit(RUDID_PROPERTY_CV) |
                                       Bit(RUDID_PROPERTY_SPEED_OF_SOUND) | Bit(RUDID_PROPERTY_VISCOSITY) |
                                       Bit(RUDID_PROPERTY_THERMAL_CONDUCTIVITY) | Bit(RUDID_PROPERTY_PRANDTL);
constexpr unsigned kNeedsViscosity =
    Bit(RUDID_PROPERTY_VISCOSITY) | Bit(RUDID_PROPERTY_THERMAL_CONDUCTIVITY) | Bit(RUDID_PROPERTY_PRANDTL);
constexpr unsigned kNeedsConductivity = Bit(RUDID_PROPERTY_THERMAL_CONDUCTIVITY) | Bit(RUDID_PROPERTY_PRANDTL);

constexpr unsigned kNeedsCaloric = Bit(RUDID_PROPERTY_CP) | Bit(RUDID_PROPERTY_CV) |
                                   Bit(RUDID_PROPERTY_SPEED_OF_SOUND) | kNeedsConductivity;

// The properties from the formulations at the state's pressure and
// temperature: cp, cv, w, mu, lambda, Pr, each only where wanted asks for
// it or for one that needs it. The viscosity alone takes only the
// formulation's density, which the caloric properties' has to the bit, so
// that it is the same asked for alone or with the others.
void FromFormulations(const RowState &s, unsigned wanted, RowOut *out) {
    using formulation::Real;
    const Real pressure = Real(s.p / kBarPerMegapascal), temperature = Real(s.t + kCelsiusZero);
    const formulation::Region region = formulation::RegionOf(pressure, temperature, LiquidSide(s.phase));
    CaloricProperties c;
    const bool caloric = (wanted & kNeedsCaloric) &&
                         formulation::CaloricAt(region, pressure, temperature, Real(1 / s.v), &c);
    for (int k = RUDID_PROPERTY_CP; k <= RUDID_PROPERTY_PRANDTL; ++k)
        if (wanted & Bit(k)) out->Fail(k, RUDID_NO_FORMULATION_STATE);
    Real mu = 0;
    if (wanted & kNeedsViscosity) {
        const Real density =
            caloric ? c.density : formulation::DensityAt(region, pressure, temperature, Real(1 / s.v));
        if (density == formulation::kNoDensity) return;
        mu = formulation::Viscosity(temperature, density);
        out->Set(RUDID_PROPERTY_VISCOSITY, mu);
    }
    if (!caloric) return;
    out->Set(RUDID_PROPERTY_CP, c.cp);
    out->Set(RUDID_PROPERTY_CV, c.cv);
    out->Set(RUDID_PROPERTY_SPEED_OF_SOUND, c.speedOfSound);
    if (!(wanted & kNeedsConductivity)) return;
    const Real lambda = formulation::ThermalConductivity(temperature, c, mu);  // W/(m K)
    out->Set(RUDID_PROPERTY_THERMAL_CONDUCTIVITY, lambda * kConductivityToInternal);
    out->Set(RUDID_PROPERTY_PRANDTL, mu * c.cp * 1000 / lambda);
}

// The first code among the state's properties that these come from.
int FirstCode(const int *codes, std::initializer_list<int> from) {
    for (int k : from)
        if (codes[k] != 0) return codes[k];
    return 0;
}

void DeriveRow(const RudidContext &context, const double *state, const int *codes, const unsigned *flags,
               int phase, unsigned wanted, RowOut *out) {
    const unsigned fromTemperature = flags[RUDID_STATE_T] | flags[RUDID_STATE_V];
    for (int k = 0; k < kDerivedProperties; ++k) out->flags[k] = fromTemperature;
    out->flags[RUDID_PROPERTY_DENSITY] = flags[RUDID_STATE_V];
    out->flags[RUDID_PROPERTY_INTERNAL_ENERGY] = flags[RUDID_STATE_V] | flags[RUDID_STATE_H];
    // Each in the internal unit where a wanted property needs it.
    const auto in = [&](int property, int quantity, unsigned neededBy) {
        return wanted & neededBy ? ToInternal(context, quantity, state[property]) : NAN;
    };
    constexpr unsigned kEnergy = Bit(RUDID_PROPERTY_INTERNAL_ENERGY);
    constexpr unsigned kSigma = Bit(RUDID_PROPERTY_SURFACE_TENSION);
    RowState s{in(RUDID_STATE_P, RUDID_PRESSURE, kEnergy | kFromFormulations),
               in(RUDID_STATE_T, RUDID_TEMPERATURE, kFromFormulations | kSigma),
               in(RUDID_STATE_H, RUDID_SPECIFIC_ENTHALPY, kEnergy),
               in(RUDID_STATE_V, RUDID_SPECIFIC_VOLUME, Bit(RUDID_PROPERTY_DENSITY) | kEnergy | kFromFormulations),
               phase};
    // Each property needs the state found (the given properties have code
    // 0; the temperature, given or answered, tells) and what it comes from:
    // density v; internal energy p, v and h; the rest p, T and v.
    if (const int code = FirstCode(codes, {RUDID_STATE_P, RUDID_STATE_T, RUDID_STATE_V}))
        out->Fail(RUDID_PROPERTY_DENSITY, code);
    else
        out->Set(RUDID_PROPERTY_DENSITY, 1 / s.v);
    if (const int code = FirstCode(codes, {RUDID_STATE_P, RUDID_STATE_T, RUDID_STATE_V, RUDID_STATE_H}))
        out->Fail(RUDID_PROPERTY_INTERNAL_ENERGY, code);
    else
        out->Set(RUDID_PROPERTY_INTERNAL_ENERGY, s.h - kKilopascalPerBar * s.p * s.v);
    const int stateCode = FirstCode(codes, {RUDID_STATE_P, RUDID_STATE_T, RUDID_STATE_V});
    if (stateCode != 0 && stateCode != RUDID_ON_SATURATION_LINE) {
        for (int k = RUDID_PROPERTY_CP; k < kDerivedProperties; ++k) out->Fail(k, stateCode);
        return;
    }
    if (!(wanted & kFromFormulations)) {
        // Not asked for: left NaN.
    } else if (SinglePhase(phase) && stateCode == 0) {
        FromFormulations(s, wanted, out);
    } else {
        // A phase that could not be told has no region to evaluate either.
        const int code = phase == RUDID_PHASE_UNKNOWN ? RUDID_NO_FORMULATION_STATE : RUDID_TWO_PHASE;
        for (int k = RUDID_PROPERTY_CP; k <= RUDID_PROPERTY_PRANDTL; ++k) out->Fail(k, code);
    }
    if (!(wanted & Bit(RUDID_PROPERTY_SURFACE_TENSION))) {
        // Not asked for: left NaN.
    } else if (!SaturationPhase(phase)) {
        out->Fail(RUDID_PROPERTY_SURFACE_TENSION, RUDID_NOT_SATURATED);
    } else {
        const formulation::Real sigma = formulation::SurfaceTension(formulation::Real(s.t + kCelsiusZero));
        if (std::isnan(sigma))
            out->Fail(RUDID_PROPERTY_SURFACE_TENSION, RUDID_NOT_SATURATED);
        else
            out->Set(RUDID_PROPERTY_SURFACE_TENSION, sigma);
    }
}

// Each value from the internal unit into the context's.
void IntoContextUnits(const RudidContext &context, unsigned wanted, RowOut *out) {
    for (int k = 0; k < kDerivedProperties; ++k) {
        const int quantity = kQuantity[k];
        if (!(wanted & Bit(k)) || out->code[k] != 0 || quantity == RUDID_NO_QUANTITY ||
            quantity == RUDID_DIMENSIONLESS)
            continue;
        out->value[k] = FromInternal(context, quantity, out->value[k]);
    }
}

}  // namespace

unsigned StatePropertiesFor(unsigned wanted) {
    // The quality given or answered tells the phase, with the pressure.
    constexpr unsigned kPhase = kStatePhase | 1u << RUDID_STATE_X | 1u << RUDID_STATE_P;
    constexpr unsigned kVolume = 1u << RUDID_STATE_P | 1u << RUDID_STATE_V, kEnthalpy = 1u << RUDID_STATE_H;
    constexpr unsigned kTemperature = 1u << RUDID_STATE_T;
    // Every property needs the state found: p, T and v tell.
    unsigned needed = kTemperature | kVolume;
    if (wanted & Bit(RUDID_PROPERTY_INTERNAL_ENERGY)) needed |= kEnthalpy;
    if (wanted & (kFromFormulations | Bit(RUDID_PROPERTY_SURFACE_TENSION))) needed |= kPhase;
    return needed;
}

int DerivedQuantity(int property) {
    return property >= 0 && property < kDerivedProperties ? kQuantity[property] : RUDID_NO_QUANTITY;
}

void DeriveProperties(const RudidContext &context, const StateBlock &block, std::size_t n, DerivedBlock *out,
                      unsigned wanted) {
    out->values.assign(n * kDerivedProperties, kNaN);
    out->codes.assign(n * kDerivedProperties, 0);
    out->flags.assign(n * kDerivedProperties, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = std::size_t(kStateProperties) * i, to = std::size_t(kDerivedProperties) * i;
        RowOut row{&out->values[to], &out->codes[to], &out->flags[to]};
        DeriveRow(context, &block.values[from], &block.codes[from], &block.flags[from], block.phase[i], wanted, &row);
        IntoContextUnits(context, wanted, &row);
    }
}

}  // namespace rudid
