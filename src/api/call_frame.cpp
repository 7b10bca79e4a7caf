#include "api/call_frame.h"

#include "tables/inverse_lookup.h"
#include "tables/lookup_pt.h"
#include "tables/saturation_by_pressure.h"
#include "tables/saturation_by_temperature.h"
#include "units/unit_recognition.h"
#include "units/unit_selection.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

// Range limits in internal units. The decimal limits are the nearest
// extended values; no Real48 equals one of them, so strict and non-strict
// comparisons agree there.
constexpr Extended kLowestPressure = 0.01L;
constexpr Extended kCriticalPressure = 221.2L;
constexpr Extended kHighestPressure = 1000;
constexpr Extended kCriticalTemperature = 374.15L;
constexpr Extended kHighestTemperature = 800;

UnitFactor FactorFor(const StartupConfiguration &config, int quantity) {
    const QuantityCode code = QuantityCode(quantity);
    const char *unit = "";
    UnitNameFor(code, config.unitSelections, &unit);
    UnitFactor factor{};
    int failed = 0;
    RecogniseUnit(code, unit, &factor, &failed);
    return factor;
}

int FirstQuantity(const ExportDescriptor &fn) {
    return fn.family == ExportFamily::SaturationByTemperature ? Temperature : Pressure;
}

// Returns 0 when the arguments pass, else the error code of the first test
// that fails.
double RangeTest(const ExportDescriptor &fn, Extended first, Extended second) {
    const bool quality = fn.arguments == 2 && fn.secondArgument == kQuality;
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
            if (first < kLowestPressure) return -1001.0;
            if (first > kCriticalPressure) return -1004.0;
            break;
        case ExportFamily::SaturationByTemperature:
            if (first < 0) return -1002.0;
            if (first > kCriticalTemperature) return -1005.0;
            break;
        case ExportFamily::PressureTemperature:
            if (first < kLowestPressure || first > kHighestPressure) return -1001.0;
            if (second > kHighestTemperature || second < 0) return -1002.0;
            break;
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume:
            if (first < kLowestPressure || first > kHighestPressure) return -1001.0;
            break;
    }
    if (quality && (second < 0 || second > 1)) return -1003.0;
    return 0;
}

// The saturated mixture by the lever rule, in extended precision.
Real48 Mix(const SaturationState &sat, int liquid, Real48 quality) {
    const Extended x = Real48ToExtended(quality);
    const Extended a = x * Real48ToExtended(sat.field[liquid + 1]);
    const Extended b = (1 - x) * Real48ToExtended(sat.field[liquid]);
    return ExtendedToReal48(a + b);
}

// Runs the lookup; returns false when it refused the state.
bool Lookup(const ExportDescriptor &fn, const TableSource &tables, Real48 first, Real48 second,
            Real48 *output) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            const SaturationState sat = fn.family == ExportFamily::SaturationByPressure
                                            ? SaturationByPressure(tables, first)
                                            : SaturationByTemperature(tables, first);
            *output = fn.arguments == 1 ? sat.field[fn.output] : Mix(sat, fn.output, second);
            return true;
        }
        case ExportFamily::PressureTemperature: {
            SinglePhaseState state;
            if (LookupPT(tables, first, second, &state) != 0) return false;
            const Real48 outputs[3] = {state.volume, state.enthalpy, state.entropy};
            *output = outputs[fn.output];
            return true;
        }
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: {
            InverseState state;
            const int err = fn.family == ExportFamily::PressureEnthalpy ? LookupPH(tables, first, second, &state)
                            : fn.family == ExportFamily::PressureEntropy ? LookupPS(tables, first, second, &state)
                                                                         : LookupPV(tables, first, second, &state);
            if (err != 0) return false;
            const Real48 outputs[4] = {state.temperature, state.second, state.third, state.quality};
            *output = outputs[fn.output];
            return true;
        }
    }
    return false;
}

}  // namespace

ExportUnits ResolveUnits(const ExportDescriptor &fn, const StartupConfiguration &config) {
    ExportUnits units{};
    units.first = FactorFor(config, FirstQuantity(fn));
    if (fn.arguments == 2 && fn.secondArgument != kQuality) units.second = FactorFor(config, fn.secondArgument);
    if (fn.resultQuantity != kQuality) units.result = FactorFor(config, fn.resultQuantity);
    return units;
}

double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units,
                      const TableSource &tables, double first, double second) {
    // Both arguments are rounded before either is converted, and both are
    // converted before the first range test.
    Real48 a = ExtendedToReal48(first);
    Real48 b = fn.arguments == 2 ? ExtendedToReal48(second) : Real48{};
    a = ConvertWithFactor(QuantityCode(FirstQuantity(fn)), 0, a, units.first);
    if (fn.arguments == 2 && fn.secondArgument != kQuality)
        b = ConvertWithFactor(QuantityCode(fn.secondArgument), 0, b, units.second);

    const double refused = RangeTest(fn, Real48ToExtended(a), Real48ToExtended(b));
    if (refused != 0) return refused;

    Real48 result;
    if (!Lookup(fn, tables, a, b, &result)) return fn.lookupRefusal;
    if (fn.resultQuantity != kQuality)
        result = ConvertWithFactor(QuantityCode(fn.resultQuantity), 1, result, units.result);
    return double(Real48ToExtended(result));
}

}  // namespace rudid
