#include "api/call_frame.h"

#include <cmath>

#include "common/failure.h"

#include "api/range_limits.h"
#include "tables/fast_rows.h"
#include "tables/inverse_lookup.h"
#include "tables/lookup_pt.h"
#include "tables/refined_lookup.h"
#include "tables/refined_saturation.h"
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

// Whether converting a Real48 value with this factor gives the value back:
// a factor of exactly 1 multiplies and divides exactly, and the result is
// already a Real48; the temperature scale 0 is Celsius, the internal scale.
bool IsIdentity(int quantity, Extended factor) {
    return quantity == Temperature ? factor == 0 : factor == 1;
}

// Returns 0 when the arguments pass, else the error code of the first test
// that fails.
template <ExportFamily kFamily>
int RangeTest(const ExportDescriptor &fn, Extended first, Extended second) {
    const bool quality = fn.arguments == 2 && fn.secondArgument == kQuality;
    switch (kFamily) {
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
Extended Mix(Extended liquid, Extended vapour, Extended x) {
    const Extended a = x * vapour;
    const Extended b = (1 - x) * liquid;
    return RoundToReal48(a + b);
}

InverseKey KeyOf(ExportFamily family) {
    switch (family) {
        case ExportFamily::PressureEnthalpy: return InverseKey::Enthalpy;
        case ExportFamily::PressureEntropy: return InverseKey::Entropy;
        default: return InverseKey::Volume;
    }
}

// The straight-line lookups where they apply; Generic otherwise.
template <ExportFamily kFamily>
FastRow FastLookup(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
                   Extended *output) {
    switch (kFamily) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            Extended fields[2];
            const int count = fn.arguments == 1 ? 1 : 2;
            const FastRow row = kFamily == ExportFamily::SaturationByPressure
                                    ? FastSaturationAtPressure(tables, first, fn.output, count, fields)
                                    : FastSaturationAtTemperature(tables, first, fn.output, count, fields);
            if (row == FastRow::Answered) *output = count == 1 ? fields[0] : Mix(fields[0], fields[1], second);
            return row;
        }
        case ExportFamily::PressureTemperature: return FastSinglePhase(tables, first, second, fn.output, output);
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: return FastInverse(tables, KeyOf(kFamily), first, second, fn.output, output);
    }
    return FastRow::Generic;
}

// Runs the lookup; returns false when it refused the state.
bool Lookup(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
            Extended *output) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            SaturationPoint sat = fn.family == ExportFamily::SaturationByPressure
                                      ? SaturationAtPressure(tables, first)
                                      : SaturationAtTemperature(tables, first);
            *output = fn.arguments == 1 ? sat.field(fn.output)
                                        : Mix(sat.field(fn.output), sat.field(fn.output + 1), second);
            return true;
        }
        case ExportFamily::PressureTemperature: {
            SinglePhaseValues state;
            if (!LookupPT(tables, first, second, 1u << fn.output, &state)) return false;
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
            if (!LookupInverse(tables, KeyOf(fn.family), first, second, wanted, &state)) return false;
            const Extended outputs[4] = {state.temperature, state.second, state.third, state.quality};
            *output = outputs[fn.output];
            return true;
        }
    }
    return false;
}

// The refined answer of the export's lookup (refined_lookup.h); returns
// false when it refused the state.
bool RefinedLookup(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
                   Extended *output) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            RefinedSaturation sat = fn.family == ExportFamily::SaturationByPressure
                                        ? RefinedSaturationAtPressure(tables, first)
                                        : RefinedSaturationAtTemperature(tables, first);
            *output = fn.arguments == 1 ? sat.field(fn.output)
                                        : Mix(sat.field(fn.output), sat.field(fn.output + 1), second);
            return true;
        }
        case ExportFamily::PressureTemperature: {
            SinglePhaseValues state;
            if (!RefinedLookupPT(tables, first, second, 1u << fn.output, &state)) return false;
            const Extended outputs[3] = {state.volume, state.enthalpy, state.entropy};
            *output = outputs[fn.output];
            return true;
        }
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: {
            InverseValues state;
            if (!RefinedLookupInverse(tables, KeyOf(fn.family), first, second, &state)) return false;
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
    units.convertFirst = !IsIdentity(fn.firstArgument, units.first);
    if (fn.arguments == 2 && fn.secondArgument != kQuality) {
        units.second = FactorFor(config, fn.secondArgument);
        units.convertSecond = !IsIdentity(fn.secondArgument, units.second);
    }
    if (fn.resultQuantity != kQuality) {
        units.result = FactorFor(config, fn.resultQuantity);
        units.convertResult = !IsIdentity(fn.resultQuantity, units.result);
    }
    return units;
}

namespace {

// One row of an export of the given family. The family is fixed at compile
// time, so that a batch runs the tests and the lookup of its family without
// asking for it on every row.
template <ExportFamily kFamily>
double EvaluateRow(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, double first,
                   double second, bool fastPaths, Answer answer) {
    // Both arguments are rounded to Real48 before either is converted, and
    // both are converted before the first range test.
    Extended a = RoundDoubleToReal48(first);
    Extended b = fn.arguments == 2 ? RoundDoubleToReal48(second) : 0.0L;
    if (units.convertFirst) a = ToInternalUnit(QuantityCode(fn.firstArgument), a, units.first);
    if (units.convertSecond) b = ToInternalUnit(QuantityCode(fn.secondArgument), b, units.second);

    const int refused = RangeTest<kFamily>(fn, a, b);
    if (refused != 0) return refused;

    Extended result = 0;  // set by the lookup that answers
    if (answer == Answer::Refined) {
        if (!RefinedLookup(fn, tables, a, b, &result)) return fn.lookupRefusal;
    } else {
        const FastRow row = fastPaths ? FastLookup<kFamily>(fn, tables, a, b, &result) : FastRow::Generic;
        if (row == FastRow::Refused || (row == FastRow::Generic && !Lookup(fn, tables, a, b, &result)))
            return fn.lookupRefusal;
    }
    if (units.convertResult) result = FromInternalUnit(QuantityCode(fn.resultQuantity), result, units.result);
    // A Real48 widens exactly to a double.
    return double(result);
}

template <ExportFamily kFamily>
int EvaluateRowsOf(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, std::size_t n,
                   const double *first, const double *second, double *result, int *failure, bool fastPaths,
                   Answer answer) {
    int failed = 0;
    const bool two = fn.arguments == 2;
    for (std::size_t i = 0; i < n; ++i) {
        try {
            result[i] = EvaluateRow<kFamily>(fn, units, tables, first[i], two ? second[i] : 0.0, fastPaths, answer);
            failure[i] = 0;
        } catch (const LibraryFailure &f) {
            result[i] = NAN;
            failure[i] = f.code;
            ++failed;
        }
    }
    return failed;
}

}  // namespace

double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables,
                      double first, double second, bool fastPaths, Answer answer) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
            return EvaluateRow<ExportFamily::SaturationByPressure>(fn, units, tables, first, second, fastPaths, answer);
        case ExportFamily::SaturationByTemperature:
            return EvaluateRow<ExportFamily::SaturationByTemperature>(fn, units, tables, first, second, fastPaths, answer);
        case ExportFamily::PressureTemperature:
            return EvaluateRow<ExportFamily::PressureTemperature>(fn, units, tables, first, second, fastPaths, answer);
        case ExportFamily::PressureEnthalpy:
            return EvaluateRow<ExportFamily::PressureEnthalpy>(fn, units, tables, first, second, fastPaths, answer);
        case ExportFamily::PressureEntropy:
            return EvaluateRow<ExportFamily::PressureEntropy>(fn, units, tables, first, second, fastPaths, answer);
        case ExportFamily::PressureVolume:
            return EvaluateRow<ExportFamily::PressureVolume>(fn, units, tables, first, second, fastPaths, answer);
    }
    return fn.lookupRefusal;
}

int EvaluateRows(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, std::size_t n,
                 const double *first, const double *second, double *result, int *failure, bool fastPaths,
                 Answer answer) {
    switch (fn.family) {
        case ExportFamily::SaturationByPressure:
            return EvaluateRowsOf<ExportFamily::SaturationByPressure>(fn, units, tables, n, first, second, result,
                                                                      failure, fastPaths, answer);
        case ExportFamily::SaturationByTemperature:
            return EvaluateRowsOf<ExportFamily::SaturationByTemperature>(fn, units, tables, n, first, second, result,
                                                                         failure, fastPaths, answer);
        case ExportFamily::PressureTemperature:
            return EvaluateRowsOf<ExportFamily::PressureTemperature>(fn, units, tables, n, first, second, result,
                                                                     failure, fastPaths, answer);
        case ExportFamily::PressureEnthalpy:
            return EvaluateRowsOf<ExportFamily::PressureEnthalpy>(fn, units, tables, n, first, second, result,
                                                                  failure, fastPaths, answer);
        case ExportFamily::PressureEntropy:
            return EvaluateRowsOf<ExportFamily::PressureEntropy>(fn, units, tables, n, first, second, result,
                                                                 failure, fastPaths, answer);
        case ExportFamily::PressureVolume:
            return EvaluateRowsOf<ExportFamily::PressureVolume>(fn, units, tables, n, first, second, result,
                                                                failure, fastPaths, answer);
    }
    return 0;
}

}  // namespace rudid
