#include "api/call_frame.h"
#include "api/family_description.h"
#include "api/state_flags.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>

#include "common/failure.h"

#include "tables/inverse_lookup.h"
#include "tables/lookup_pt.h"
#include "tables/refined_flags.h"
#include "tables/refined_lookup.h"
#include "tables/refined_memory.h"
#include "tables/refined_saturation.h"
#include "tables/saturation_by_pressure.h"
#include "tables/saturation_by_temperature.h"
#include "tables/saturation_place.h"
#include "units/value_conversion.h"

namespace rudid {

namespace {

// The factor that start-up resolved for the quantity. Every name a selection
// can give for the quantities of the exports is recognised (a test holds the
// lists and tables to that).
Extended FactorFor(const StartupConfiguration &config, int quantity) {
    return config.unitFactorValue[quantity];
}

// Whether converting a Real48 value with this factor gives the value back:
// a factor of exactly 1 multiplies and divides exactly, and the result is
// already a Real48; the temperature scale 0 is Celsius, the internal scale.
bool IsIdentity(int quantity, Extended factor) {
    return quantity == Temperature ? factor == 0 : factor == 1;
}

// The saturated mixture by the lever rule, in extended precision: the
// vapour share first, then the liquid share.
Extended Mix(Extended liquid, Extended vapour, Extended x) {
    const Extended a = x * vapour;
    const Extended b = (1 - x) * liquid;
    return RoundToReal48(a + b);
}

// The outputs an inverse lookup works out for the export: the quality
// output needs none of the others.
unsigned InverseWanted(const ExportDescriptor &fn) { return fn.output < 3 ? 1u << fn.output : 0u; }

// The export's output among the values a lookup gave.
Extended OutputOf(const ExportDescriptor &fn, const InverseValues &state) {
    return fn.output == 0   ? state.temperature
           : fn.output == 1 ? state.second
           : fn.output == 2 ? state.third
                            : state.quality;
}
Extended OutputOf(const ExportDescriptor &fn, const SinglePhaseValues &state) {
    return fn.output == 0 ? state.volume : fn.output == 1 ? state.enthalpy : state.entropy;
}

// Runs the family's lookup; returns false when it refused the state.
template <ExportFamily kFamily, class Decide>
bool Lookup(const ExportDescriptor &fn, const TableSource &tables, Extended first, Extended second,
            Extended *output, LookupPath *path) {
    switch (kFamily) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            SaturationPoint sat = kFamily == ExportFamily::SaturationByPressure
                                      ? SaturationAtPressure(tables, first)
                                      : SaturationAtTemperature(tables, first);
            if (path->wantsPlace) PlaceOnTheLine(sat, path);
            *output = fn.arguments == 1 ? sat.field(fn.output)
                                        : Mix(sat.field(fn.output), sat.field(fn.output + 1), second);
            return true;
        }
        case ExportFamily::PressureTemperature: {
            SinglePhaseValues state;
            if (!LookupPT<Decide>(tables, first, second, 1u << fn.output, &state, path)) return false;
            *output = OutputOf(fn, state);
            return true;
        }
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: {
            InverseValues state;
            if (!LookupInverse<Decide>(tables, KeyOf(kFamily), first, second, InverseWanted(fn), &state, path))
                return false;
            *output = OutputOf(fn, state);
            return true;
        }
    }
    return false;
}

// The refined answer is another policy of the same call: in place of the
// table lookup (and its decision policy), the refined lookups of
// tables/refined_lookup.h over the same records, with the call's memory of
// what they worked out from the records (tables/refined_memory.h).
struct RefinedAnswers {};

// The refined answer of the export's lookup and, when asked, the flags
// that still apply to it, read from the state the lookup found; returns
// false when it refused the state.
template <ExportFamily kFamily>
bool RefinedLookup(const ExportDescriptor &fn, const RefinedTables &tables, Extended first, Extended second,
                   Extended *output, unsigned *flags) {
    switch (kFamily) {
        case ExportFamily::SaturationByPressure:
        case ExportFamily::SaturationByTemperature: {
            constexpr bool byPressure = kFamily == ExportFamily::SaturationByPressure;
            RefinedSaturation sat;
            if (byPressure)
                sat.AtPressure(tables, first, std::log(double(first)));  // a Real48: exact in a double
            else
                sat.AtTemperature(tables, first);
            *output = fn.arguments == 1 ? sat.field(fn.output)
                                        : Mix(sat.field(fn.output), sat.field(fn.output + 1), second);
            if (flags) *flags = RefinedSaturationFlags(byPressure, first);
            return true;
        }
        case ExportFamily::PressureTemperature: {
            SinglePhaseValues state;
            if (!RefinedLookupPT(tables, first, second, 1u << fn.output, &state)) return false;
            *output = OutputOf(fn, state);
            if (flags) *flags = RefinedStateFlags(first, second);
            return true;
        }
        case ExportFamily::PressureEnthalpy:
        case ExportFamily::PressureEntropy:
        case ExportFamily::PressureVolume: {
            InverseValues state;
            if (!RefinedLookupInverse(tables, KeyOf(kFamily), first, second, InverseWanted(fn), &state)) return false;
            *output = OutputOf(fn, state);
            if (flags) *flags = RefinedInverseFlags(tables, KeyOf(kFamily), first, second, state);
            return true;
        }
    }
    return false;
}

// Runs the answer's lookup and writes the row's flags when asked; returns
// false when the lookup refused the state. memory: the call's, for a
// refined answer (else unused).
template <ExportFamily kFamily, class Decide>
bool Answered(const ExportDescriptor &fn, const TableSource &tables, Extended a, Extended b, Extended *result,
              LookupStatistics *statistics, unsigned *flags, RefinedMemory *memory) {
    if constexpr (std::is_same_v<Decide, RefinedAnswers>) {
        const RefinedTables refined{tables, *memory};
        return RefinedLookup<kFamily>(fn, refined, a, b, result, flags);
    } else {
        LookupPath path;
        path.wantsPlace = flags != nullptr;
        const bool answered = Lookup<kFamily, Decide>(fn, tables, a, b, result, &path);
        if (statistics) {
            ++statistics->lookups;
            if (path.exactFallback) ++statistics->exactFallbacks;
        }
        if (answered && flags) *flags = RowFlags(fn, tables, a, b, path, *result);
        return answered;
    }
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
// flags, when given, receives the row's state flags (0 unless the lookup
// answered); memory is the call's for a refined answer.
template <ExportFamily kFamily, class Decide>
double EvaluateRow(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, double first,
                   double second, LookupStatistics *statistics, unsigned *flags, RefinedMemory *memory = nullptr) {
    // Both arguments are rounded to Real48 before either is converted, and
    // both are converted before the first range test.
    Extended a = RoundDoubleToReal48(first);
    Extended b = fn.arguments == 2 ? RoundDoubleToReal48(second) : 0.0L;
    if (units.convertFirst) a = ToInternalUnit(QuantityCode(fn.firstArgument), a, units.first);
    if (units.convertSecond) b = ToInternalUnit(QuantityCode(fn.secondArgument), b, units.second);

    const int refused = RangeTest<kFamily>(fn, a, b);
    if (refused != 0) return refused;

    Extended result = 0;  // set by the lookup when it answers
    if (!Answered<kFamily, Decide>(fn, tables, a, b, &result, statistics, flags, memory)) return fn.lookupRefusal;
    if (units.convertResult) result = FromInternalUnit(QuantityCode(fn.resultQuantity), result, units.result);
    // A Real48 widens exactly to a double.
    return double(result);
}

// The file of the first failed row of the thread's last rows.
thread_local char tFirstFailedFile[kMaxPathSize];

template <ExportFamily kFamily, class Decide>
int EvaluateRowsOf(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, std::size_t n,
                   const double *first, const double *second, double *result, int *failure,
                   LookupStatistics *statistics, unsigned *flags) {
    // A refined answer keeps what it works out from the records for the
    // call's later rows.
    std::unique_ptr<RefinedMemory> memory;
    if constexpr (std::is_same_v<Decide, RefinedAnswers>) memory = std::make_unique<RefinedMemory>();
    int failed = 0;
    const bool two = fn.arguments == 2;
    tFirstFailedFile[0] = '\0';
    for (std::size_t i = 0; i < n; ++i) {
        unsigned *rowFlags = flags ? &flags[i] : nullptr;
        if (rowFlags) *rowFlags = 0;
        try {
            result[i] = EvaluateRow<kFamily, Decide>(fn, units, tables, first[i], two ? second[i] : 0.0, statistics,
                                                     rowFlags, memory.get());
            failure[i] = 0;
        } catch (const LibraryFailure &f) {
            result[i] = NAN;
            failure[i] = f.code;
            if (rowFlags) *rowFlags = 0;
            if (failed++ == 0) std::memcpy(tFirstFailedFile, f.path, sizeof tFirstFailedFile);
        }
    }
    return failed;
}

// Calls body(family) with the family as a compile-time constant.
template <class Body>
auto WithFamily(ExportFamily family, Body &&body) {
    using F = ExportFamily;
    switch (family) {
        case F::SaturationByPressure: return body(std::integral_constant<F, F::SaturationByPressure>{});
        case F::SaturationByTemperature: return body(std::integral_constant<F, F::SaturationByTemperature>{});
        case F::PressureTemperature: return body(std::integral_constant<F, F::PressureTemperature>{});
        case F::PressureEnthalpy: return body(std::integral_constant<F, F::PressureEnthalpy>{});
        case F::PressureEntropy: return body(std::integral_constant<F, F::PressureEntropy>{});
        case F::PressureVolume: break;
    }
    return body(std::integral_constant<F, F::PressureVolume>{});
}

}  // namespace

double EvaluateExport(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables,
                      double first, double second, Answer answer) {
    return WithFamily(fn.family, [&](auto family) {
        if (answer == Answer::Refined) {
            RefinedMemory memory;
            return EvaluateRow<family(), RefinedAnswers>(fn, units, tables, first, second, nullptr, nullptr, &memory);
        }
        return EvaluateRow<family(), BoundedDecisions>(fn, units, tables, first, second, nullptr, nullptr);
    });
}

int EvaluateRows(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, std::size_t n,
                 const double *first, const double *second, double *result, int *failure, bool boundFirst,
                 LookupStatistics *statistics, unsigned *flags, Answer answer) {
    return WithFamily(fn.family, [&](auto family) {
        if (answer == Answer::Refined)
            return EvaluateRowsOf<family(), RefinedAnswers>(fn, units, tables, n, first, second, result, failure,
                                                            statistics, flags);
        return boundFirst ? EvaluateRowsOf<family(), BoundedDecisions>(fn, units, tables, n, first, second, result,
                                                                       failure, statistics, flags)
                          : EvaluateRowsOf<family(), ExactDecisions>(fn, units, tables, n, first, second, result,
                                                                     failure, statistics, flags);
    });
}

const char *FirstFailedFile() { return tFirstFailedFile; }

}  // namespace rudid
