#include "api/call_frame.h"

#include "api/range_limits.h"
#include "tables/inverse_lookup.h"
#include "tables/lookup_pt.h"
#include "tables/saturation_by_pressure.h"
#include "tables/saturation_by_temperature.h"
#include "units/unit_recognition.h"
#include "units/unit_selection.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

// Every name a selection can give for the quantities of the exports is
// recognised (a test holds the lists and tables to that).
Extended FactorFor(const StartupConfiguration &config, int quantity) {
    const QuantityCode code = QuantityCode(quantity);
    const char *unit = UnitNameFor(code, config.unitSelections);
    return Real48ToExtended(RecogniseUnit(code, unit).value_or(UnitFactor{}));
}

// Returns 0 when the arguments pass, else the error code of the first test
// that fails.
int RangeTest(const ExportDescriptor &fn, Extended first, Extended second) {
    const bool quality = fn.arguments == 2 && fn.secondArgument == kQuality;
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
            if (first < kLowestPressure) return RUDID_PRESSURE_OUT_OF_RANGE;
            if (first > kCriticalPressure) return RUDID_PRESSURE_ABOVE_CRITICAL;
            break;
        case ExportFamily::SaturationByTemperature:
            if (first < kLowestTemperature) return RUDID_TEMPERATURE_OUT_OF_RANGE;
            if (first > kCriticalTemperature) return RUDID_TEMPERATURE_ABOVE_CRITICAL;
            break;
        case ExportFamily::PressureTemperature:
            if (first < kLowestPressure || first > kHighestPressure) return RUDID_PRESSURE_OUT_OF_RANGE;
            if (second > kHighestTemperature || second < kLowestTemperature) return RUDID_TEMPERATURE_OUT_OF_RANGE;
            break;
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume:
            if (first < kLowestPressure || first > kHighestPressure) return RUDID_PRESSURE_OUT_OF_RANGE;
            break;
    }
    if (quality && (second < 0 || second > 1)) return RUDID_QUALITY_OUT_OF_RANGE;
    return 0;
}

// The saturated mixture by the lever rule, in extended precision: the
// vapour share first, then the liquid share.
Extended Mix(SaturationPoint &sat, int liquid, Extended x) {
    const Extended a = x * sat.field(liquid + 1);
    const Extended b = (1 - x) * sat.field(liquid);
    return RoundToReal48(a + b);
}

InverseKey KeyOf(ExportFamily family) {
    switch (family) {
        case ExportFamily::PressureEnthalpy: return InverseKey::Enthalpy;
        case ExportFamily::PressureEntropy: return InverseKey::Entropy;
        default: return InverseKey::Volume;
    }
}

// Runs the lookup; returns false when it refused the state.
bool Lookup(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
            Extended *output) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            SaturationPoint sat = fn.family == ExportFamily::SaturationByPressure
                                      ? SaturationPointByPressure(tables, first)
                                      : SaturationPointByTemperature(tables, first);
            *output = fn.arguments == 1 ? sat.field(fn.output) : Mix(sat, fn.output, second);
            return true;
        }
        case ExportFamily::PressureTemperature: {
            SinglePhaseValues state;
            if (LookupPTValues(tables, first, second, 1u << fn.output, &state) != 0) return false;
            const Extended outputs[3] = {state.volume, state.enthalpy, state.entropy};
            *output = outputs[fn.output];
            return true;
        }
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: {
            InverseValues state;
            // The quality output needs none of the others.
            const unsigned wanted = fn.output < 3 ? 1u << fn.output : 0u;
            if (LookupInverse(tables, KeyOf(fn.family), first, second, wanted, &state) != 0) return false;
            const Extended outputs[4] = {state.temperature, state.second, state.third, state.quality};
            *output = outputs[fn.output];
            return true;
        }
    }
    return false;
}

}  // namespace

ExportUnits ResolveUnits(const ExportDescriptor &fn, const StartupConfiguration &config) {
    ExportUnits units{};
    units.first = FactorFor(config, fn.firstArgument);
    if (fn.arguments == 2 && fn.secondArgument != kQuality) units.second = FactorFor(config, fn.secondArgument);
    if (fn.resultQuantity != kQuality) units.result = FactorFor(config, fn.resultQuantity);
    return units;
}

double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables,
                      double first, double second) {
    // Both arguments are rounded to Real48 before either is converted, and
    // both are converted before the first range test.
    Extended a = RoundToReal48(first);
    Extended b = fn.arguments == 2 ? RoundToReal48(second) : 0.0L;
    a = ToInternalUnit(QuantityCode(fn.firstArgument), a, units.first);
    if (fn.arguments == 2 && fn.secondArgument != kQuality)
        b = ToInternalUnit(QuantityCode(fn.secondArgument), b, units.second);

    const int refused = RangeTest(fn, a, b);
    if (refused != 0) return refused;

    Extended result;
    if (!Lookup(fn, tables, a, b, &result)) return fn.lookupRefusal;
    if (fn.resultQuantity != kQuality)
        result = FromInternalUnit(QuantityCode(fn.resultQuantity), result, units.result);
    // A Real48 widens exactly to a double.
    return double(result);
}

}  // namespace rudid
