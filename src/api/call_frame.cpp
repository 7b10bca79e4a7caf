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
    return fn.output == 0   ? state.volume
           : fn.output == 1 ? state.enthalpy
           : fn.output == 2 ? state.entropy
                            : Extended(int(state.side));
}

// The output of each column's export at a saturation point (a table's or
// a refined one).
template <class Saturation>
void SaturationOutputs(const Column *columns, int count, Saturation &sat, Extended second, Extended *outputs) {
    for (int c = 0; c < count; ++c) {
        const ExportDescriptor &fn = *columns[c].fn;
        outputs[c] =
            fn.arguments == 1 ? sat.field(fn.output) : Mix(sat.field(fn.output), sat.field(fn.output + 1), second);
    }
}

unsigned PressureTemperatureWanted(const Column *columns, int count) {
    unsigned wanted = 0;
    for (int c = 0; c < count; ++c) wanted |= 1u << columns[c].fn->output;
    return wanted;
}

unsigned InverseWanted(const Column *columns, int count) {
    unsigned wanted = 0;
    for (int c = 0; c < count; ++c) wanted |= InverseWanted(*columns[c].fn);
    return wanted;
}

template <class State>
void Outputs(const Column *columns, int count, const State &state, Extended *outputs) {
    for (int c = 0; c < count; ++c) outputs[c] = OutputOf(*columns[c].fn, state);
}

// Runs the family's lookup once for the outputs of every column; returns
// false when it refused the state. A lookup asked for more outputs gives
// each the same bits as asked for it alone.
template <ExportFamily kFamily, class Decide>
bool Lookup(const Column *columns, int count, const TableSource &tables, Extended first, Extended second,
            Extended *outputs, LookupPath *path) {
    constexpr const FamilyTraits &kTraits = TraitsOf(kFamily);
    if constexpr (kTraits.lookup == FamilyLookup::Saturation) {
        SaturationPoint sat = kTraits.firstQuantity == RUDID_PRESSURE ? SaturationAtPressure(tables, first)
                                                                      : SaturationAtTemperature(tables, first);
        // Flags by temperature read the temperature alone.
        if (path->wantsPlace && kTraits.firstQuantity == RUDID_PRESSURE) PlaceInTheRecords(sat, path);
        SaturationOutputs(columns, count, sat, second, outputs);
        return true;
    } else if constexpr (kTraits.lookup == FamilyLookup::PressureTemperature) {
        SinglePhaseValues state;
        if (!LookupPT<Decide>(tables, first, second, PressureTemperatureWanted(columns, count), &state, path))
            return false;
        Outputs(columns, count, state, outputs);
        return true;
    } else {
        InverseValues state;
        if (!LookupInverse<Decide>(tables, kTraits.key, first, second, InverseWanted(columns, count), &state, path))
            return false;
        Outputs(columns, count, state, outputs);
        return true;
    }
}

// The refined answer is another policy of the same call: in place of the
// table lookup (and its decision policy), the refined lookups of
// tables/refined_lookup.h over the same records, with the call's memory of
// what they worked out from the records (tables/refined_memory.h).
struct RefinedAnswers {};

// What a call remembers of the records for its later rows: a refined
// call's refined memory, and the facts its rows' flags read (null: each
// row's cell worked out afresh).
struct CallMemory {
    RefinedMemory *refined;
    FlagFacts *facts;
};

// The refined answers of the columns' lookup and, when asked, the flags
// that still apply to them (the same for every column), read from the
// state the lookup found; returns false when it refused the state.
template <ExportFamily kFamily>
bool RefinedLookup(const Column *columns, int count, const RefinedTables &tables, Extended first, Extended second,
                   Extended *outputs, unsigned *flags) {
    constexpr const FamilyTraits &kTraits = TraitsOf(kFamily);
    if constexpr (kTraits.lookup == FamilyLookup::Saturation) {
        constexpr bool byPressure = kTraits.firstQuantity == RUDID_PRESSURE;
        RefinedSaturation sat;
        if (byPressure)
            sat.AtPressure(tables, first, std::log(double(first)));  // a Real48: exact in a double
        else
            sat.AtTemperature(tables, first);
        SaturationOutputs(columns, count, sat, second, outputs);
        if (flags) *flags = RefinedSaturationFlags(byPressure, first);
        return true;
    } else if constexpr (kTraits.lookup == FamilyLookup::PressureTemperature) {
        SinglePhaseValues state;
        if (!RefinedLookupPT(tables, first, second, PressureTemperatureWanted(columns, count), &state)) return false;
        Outputs(columns, count, state, outputs);
        if (flags) *flags = RefinedStateFlags(first, second);
        return true;
    } else {
        InverseValues state;
        if (!RefinedLookupInverse(tables, kTraits.key, first, second, InverseWanted(columns, count), &state))
            return false;
        Outputs(columns, count, state, outputs);
        if (flags) *flags = RefinedInverseFlags(tables, kTraits.key, first, second, state);
        return true;
    }
}

// Runs the answer's lookup for the columns and, where a column asks for
// flags, works out its row's flags into flags[c]; returns false when the
// lookup refused the state.
template <ExportFamily kFamily, class Decide>
[[gnu::always_inline]] inline bool Answered(const Column *columns, int count, const TableSource &tables, Extended a,
                                            Extended b, Extended *outputs, LookupStatistics *statistics,
                                            bool flagsWanted, unsigned *flags, const CallMemory &memory) {
    if constexpr (std::is_same_v<Decide, RefinedAnswers>) {
        const RefinedTables refined{tables, *memory.refined};
        unsigned rowFlags = 0;
        const bool answered =
            RefinedLookup<kFamily>(columns, count, refined, a, b, outputs, flagsWanted ? &rowFlags : nullptr);
        for (int c = 0; c < count; ++c) flags[c] = rowFlags;
        return answered;
    } else {
        LookupPath path;
        path.wantsPlace = flagsWanted;
        const bool answered = Lookup<kFamily, Decide>(columns, count, tables, a, b, outputs, &path);
        if (statistics) {
            ++statistics->lookups;
            if (path.exactFallback) ++statistics->exactFallbacks;
        }
        for (int c = 0; c < count; ++c)
            if (answered && columns[c].flags)
                flags[c] = RowFlags<kFamily>(*columns[c].fn, tables, memory.facts, a, b, path, outputs[c]);
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

// The file of the first failed row of the thread's last rows.
thread_local char tFirstFailedFile[kMaxPathSize];

void Fail(const Column &column, std::size_t i, const LibraryFailure &f, int *failed) {
    column.result[i] = NAN;
    column.failure[i] = f.code;
    if (column.flags) column.flags[i] = 0;
    if ((*failed)++ == 0) std::memcpy(tFirstFailedFile, f.path, sizeof tFirstFailedFile);
}

// Row i of the columns' exports, of the given family. The family is fixed
// at compile time, so that a batch runs the tests and the lookup of its
// family without asking for it on every row. Each column's result is its
// property or a negative error code; a LibraryFailure fails the row of
// every column (of the lookup) or of one (of its result's unit).
// kColumns: the count of columns when the compiler should know it (a
// single export), else 0.
template <ExportFamily kFamily, class Decide, int kColumns>
void EvaluateRow(const Column *columns, int anyCount, const ExportUnits *units, const TableSource &tables,
                 std::size_t i, double first, double second, LookupStatistics *statistics, const CallMemory &memory,
                 int *failed) {
    const int count = kColumns != 0 ? kColumns : anyCount;
    const ExportDescriptor &fn = *columns[0].fn;  // the arguments and range tests of every column
    bool flagsWanted = false;
    for (int c = 0; c < count; ++c) {
        columns[c].failure[i] = 0;
        if (columns[c].flags) columns[c].flags[i] = 0, flagsWanted = true;
    }
    Extended outputs[kMostColumns];
    unsigned flags[kMostColumns] = {};
    int refused = 0;
    bool answered = false;
    try {
        // Both arguments are rounded to Real48 before either is converted,
        // and both are converted before the first range test.
        Extended a = RoundDoubleToReal48(first);
        Extended b = fn.arguments == 2 ? RoundDoubleToReal48(second) : 0.0L;
        if (units[0].convertFirst) a = ToInternalUnit(QuantityCode(fn.firstArgument), a, units[0].first);
        if (units[0].convertSecond) b = ToInternalUnit(QuantityCode(fn.secondArgument), b, units[0].second);
        refused = RangeTest<kFamily>(fn, a, b);
        if (refused == 0)
            answered = Answered<kFamily, Decide>(columns, count, tables, a, b, outputs, statistics, flagsWanted, flags,
                                                 memory);
    } catch (const LibraryFailure &f) {
        for (int c = 0; c < count; ++c) Fail(columns[c], i, f, failed);
        return;
    }
    for (int c = 0; c < count; ++c) {
        const Column &column = columns[c];
        if (!answered) {
            column.result[i] = refused != 0 ? refused : column.fn->lookupRefusal;
            continue;
        }
        try {
            Extended result = outputs[c];
            if (units[c].convertResult)
                result = FromInternalUnit(QuantityCode(column.fn->resultQuantity), result, units[c].result);
            // A Real48 widens exactly to a double.
            column.result[i] = double(result);
            if (column.flags) column.flags[i] = flags[c];
        } catch (const LibraryFailure &f) {
            Fail(column, i, f, failed);
        }
    }
}

template <ExportFamily kFamily, class Decide, int kColumns>
int EvaluateRowsOf(const Column *columns, int count, const ExportUnits *units, const TableSource &tables,
                   std::size_t n, const double *first, const double *second, LookupStatistics *statistics,
                   FlagFacts *facts) {
    // A refined answer keeps what it works out from the records for the
    // call's later rows.
    std::unique_ptr<RefinedMemory> refined;
    if constexpr (std::is_same_v<Decide, RefinedAnswers>) refined = std::make_unique<RefinedMemory>();
    const CallMemory memory{refined.get(), facts};
    int failed = 0;
    const bool two = columns[0].fn->arguments == 2;
    tFirstFailedFile[0] = '\0';
    for (std::size_t i = 0; i < n; ++i)
        EvaluateRow<kFamily, Decide, kColumns>(columns, count, units, tables, i, first[i], two ? second[i] : 0.0,
                                               statistics, memory, &failed);
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
    double result = 0;
    int code = 0;
    const Column column{&fn, &result, &code, nullptr};
    int failed = 0;
    WithFamily(fn.family, [&](auto family) {
        if (answer == Answer::Refined) {
            RefinedMemory refined;
            EvaluateRow<family(), RefinedAnswers, 1>(&column, 1, &units, tables, 0, first, second, nullptr,
                                                     CallMemory{&refined, nullptr}, &failed);
        } else {
            EvaluateRow<family(), BoundedDecisions, 1>(&column, 1, &units, tables, 0, first, second, nullptr,
                                                       CallMemory{nullptr, nullptr}, &failed);
        }
    });
    if (failed) {
        LibraryFailure failure{code, {}};
        std::memcpy(failure.path, tFirstFailedFile, sizeof failure.path);
        throw failure;
    }
    return result;
}

int EvaluateColumns(const Column *columns, int count, const ExportUnits *units, const TableSource &tables,
                    std::size_t n, const double *first, const double *second, bool boundFirst,
                    LookupStatistics *statistics, Answer answer, FlagFacts *facts) {
    const auto rows = [&](auto family, auto columnsKnown) {
        constexpr int kColumns = decltype(columnsKnown)::value;
        if (answer == Answer::Refined)
            return EvaluateRowsOf<family(), RefinedAnswers, kColumns>(columns, count, units, tables, n, first, second,
                                                                      statistics, nullptr);
        return boundFirst ? EvaluateRowsOf<family(), BoundedDecisions, kColumns>(columns, count, units, tables, n,
                                                                                 first, second, statistics, facts)
                          : EvaluateRowsOf<family(), ExactDecisions, kColumns>(columns, count, units, tables, n,
                                                                               first, second, statistics, facts);
    };
    return WithFamily(columns[0].fn->family, [&](auto family) {
        return count == 1 ? rows(family, std::integral_constant<int, 1>{}) : rows(family, std::integral_constant<int, 0>{});
    });
}

int EvaluateRows(const ExportDescriptor &fn, const ExportUnits &units, const TableSource &tables, std::size_t n,
                 const double *first, const double *second, double *result, int *failure, bool boundFirst,
                 LookupStatistics *statistics, unsigned *flags, Answer answer) {
    const Column column{&fn, result, failure, flags};
    return EvaluateColumns(&column, 1, &units, tables, n, first, second, boundFirst, statistics, answer);
}

const char *FirstFailedFile() { return tFirstFailedFile; }

}  // namespace rudid
