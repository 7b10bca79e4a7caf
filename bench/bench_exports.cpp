// Benchmarks of the exported functions on the shipped tables.
//
//   build/bench/rudid_bench
//
// SingleCall/*   one call of an export, as a host makes it: open, read and
//                close of its table files included.
// FileFloor/*    what the file rules alone cost a call: open, position, read
//                and close of the same table file, with no arithmetic.
// ArithmeticEnvironment/*
//                entering and leaving the library's arithmetic environment,
//                as every export does: under the library's own words, under
//                an MSVC-like host word, and for a host that arrives with
//                the precision flag set (the flag the call raises is then
//                already the host's, and nothing is cleared).
// SingleCallCached/*
//                the same calls through a copy of the library loaded with
//                CACHE=1 in its ZAREVIRU.INI: the tables come from the copies
//                it keeps in memory.
// IF97/*         IAPWS-IF97 evaluated directly (if97_reference.h), for the
//                side-by-side figures, over the same 100,000 states as the
//                batch rows of n = 100000, less those of region 3 (per_row
//                is the time per state): h(p, T) from the Gibbs functions
//                on the states of AQPPTH, T(p, h) from the backward
//                equations on those states and their IF97 enthalpies, each
//                finding its region from its two arguments first, as a
//                host that evaluates the formulation must; the rows ending
//                in _region_given skip that step, their region being
//                handed in. h(p, x) on the states of AQPPQH up to
//                16.53 MPa (saturated states of regions 1 and 2), and
//                p_sat(T) on those of AQPTP.
// Batch/*        RudidEvaluate over n rows (n = 1, 10, 1000, 100000); the
//                counter per_row is the time per row, bound_share the share
//                of rows whose lookup took every decision on the double-
//                precision bound, without an exact fallback.
// BatchFlags/*   RudidEvaluateWithFlags over the same rows: the result and
//                the state flags of every row, read from the facts of
//                the cells the rows fall in.
// KeptBatch/*, KeptBatchFlags/*
//                RudidContextEvaluate over the same 100,000 rows in a context
//                of table answers that keeps its tables, without and with
//                the flags: what flags cost a row once the facts of the
//                cells are known (a thread keeps them with the tables).
// Old/SingleCall/*, Old/Batch/*
//                the same calls and rows through another build of the library (for
//                the figures of old and new in one run), when the
//                environment variable RUDID_BENCH_OLD names it.
// RefinedBatch/* RudidEvaluateRefined over the same rows as Batch/*.
// DerivedBatch/* RudidContextProperty of rho, cp, mu and lambda, and
//                RudidSolveProperties of all nine, over 100000 states of
//                AQPPTH by (p, T) in a refined context that keeps its
//                tables, beside DerivedBatch/AQPPTH, the refined enthalpy of
//                the same rows in that context.
// WholeState/pT, WholeState/pT_flags, WholeState/hs
//                RudidSolveStates over 1000 of the states of AQPPTH, in a
//                context that keeps its tables: the whole state from (p, T)
//                without and with each property's flags, and from the (h, s)
//                of the same states (found through the pressure).
//
// States: pressure log-uniform over 0.01..1000 bar (0.01..221.2 for the
// saturation functions), temperature uniform over 0..800 degC (0..374.15),
// quality uniform; enthalpy, entropy and volume are those of the tables at
// such a (p, T), so that the inverse functions see realistic states.
//
// The program links the library's code directly and runs its start-up
// itself, reading the ZAREVIRU.INI that the build writes (or the one that
// ZAREVIRU_INI names).
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdlib>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api/batch.h"
#include "api/export_table.h"
#include "common/failure.h"
#include "config/startup.h"
#include "platform/platform.h"
#include "rudid32.h"
#include "tables/table_source.h"

#include "if97_reference.h"

namespace {

using Export = double *(*)(double, double);

double *Saturation1(double p, double) { return AQPPT(p); }
double *SaturationT(double t, double) { return AQPTP(t); }

enum class Second { None, Quality, Temperature, Enthalpy, Entropy, Volume };

struct Family {
    const char *name;
    Export fn;
    bool temperatureFirst;  // else pressure
    Second second;
};

const Family kFamilies[] = {
    {"AQPPT", Saturation1, false, Second::None},          {"AQPTP", SaturationT, true, Second::None},
    {"AQPPQH", AQPPQH, false, Second::Quality},           {"AQPTQS", AQPTQS, true, Second::Quality},
    {"AQPPTH", AQPPTH, false, Second::Temperature},       {"AQPPHT", AQPPHT, false, Second::Enthalpy},
    {"AQPPST", AQPPST, false, Second::Entropy},           {"AQPPVT", AQPPVT, false, Second::Volume},
};

const Family &FamilyNamed(const std::string &name) {
    for (const Family &f : kFamilies)
        if (name == f.name) return f;
    return kFamilies[0];
}

const char *PropertyAt(Second second) {
    switch (second) {
        case Second::Enthalpy: return "AQPPTH";
        case Second::Entropy: return "AQPPTS";
        case Second::Volume: return "AQPPTV";
        default: return nullptr;
    }
}

void MakeStates(const Family &f, std::size_t n, std::vector<double> &a, std::vector<double> &b) {
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const bool saturation = f.second == Second::None || f.second == Second::Quality;
    const double highestPressure = saturation ? 221.2 : 1000;
    const double highestTemperature = saturation ? 374.15 : 800;
    std::vector<double> p(n), t(n), value(n);
    std::vector<int> failure(n);
    auto draw = [&](std::size_t i) {
        p[i] = std::exp(std::log(0.01) + unit(random) * (std::log(highestPressure) - std::log(0.01)));
        t[i] = unit(random) * highestTemperature;
    };
    for (std::size_t i = 0; i < n; ++i) draw(i);
    if (const char *property = PropertyAt(f.second)) {
        // A state within a thousandth of a degree of saturation has no
        // single-phase value: draw it again.
        for (bool again = true; again;) {
            RudidEvaluate(property, n, p.data(), t.data(), value.data(), failure.data());
            again = false;
            for (std::size_t i = 0; i < n; ++i)
                if (value[i] < -1000) draw(i), again = true;
        }
    }
    a.resize(n);
    b.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = f.temperatureFirst ? t[i] : p[i];
        switch (f.second) {
            case Second::None: b[i] = 0; break;
            case Second::Quality: b[i] = unit(random); break;
            case Second::Temperature: b[i] = t[i]; break;
            default: b[i] = value[i]; break;
        }
    }
}

// library: null for the export linked in, else another build's handle.
void SingleCall(benchmark::State &state, const std::string &name, void *library) {
    const Family &f = FamilyNamed(name);
    std::vector<double> a, b;
    MakeStates(f, 4096, a, b);
    const bool two = f.second != Second::None;
    void *symbol = library ? dlsym(library, f.name) : nullptr;
    std::size_t i = 0;
    for (auto _ : state) {
        if (!symbol)
            benchmark::DoNotOptimize(f.fn(a[i], b[i]));
        else if (two)
            benchmark::DoNotOptimize(reinterpret_cast<double *(*)(double, double)>(symbol)(a[i], b[i]));
        else
            benchmark::DoNotOptimize(reinterpret_cast<double *(*)(double)>(symbol)(a[i]));
        i = (i + 1) % a.size();
    }
    state.SetItemsProcessed(state.iterations());
}

using Evaluate = int (*)(const char *, size_t, const double *, const double *, double *, int *);

// A copy of the built library loaded with the tables kept in memory, as a
// host whose installation has CACHE=1 loads it; null when it cannot be.
void *LibraryWithKeptTables() {
    static void *library = [] () -> void * {
        const std::string ini = std::string(RUDID_BENCH_INI) + ".cached";
        std::FILE *file = std::fopen(ini.c_str(), "w");
        if (!file) return nullptr;
        std::fprintf(file, "[STARTUP]\nDIR=%.*s\nCACHE=1\n", int(std::strlen(RudidDataDirectory()) - 1),
                     RudidDataDirectory());
        std::fclose(file);
        const char *before = std::getenv("ZAREVIRU_INI");
        const std::string saved = before ? before : "";
        setenv("ZAREVIRU_INI", ini.c_str(), 1);
        void *handle = dlopen(RUDID_BENCH_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
        if (!handle) std::fprintf(stderr, "%s: %s\n", RUDID_BENCH_LIBRARY, dlerror());
        if (before) setenv("ZAREVIRU_INI", saved.c_str(), 1); else unsetenv("ZAREVIRU_INI");
        return handle;
    }();
    return library;
}

void SingleCallCached(benchmark::State &state, const std::string &name) {
    if (void *library = LibraryWithKeptTables())
        SingleCall(state, name, library);
    else
        state.SkipWithError("no library with CACHE=1");
}

// The benchmark's states of a family in the formulation's units (MPa, K,
// kJ/kg), for IAPWS-IF97 computed directly: the 100,000 states of the
// family's batch rows, less those the reference does not evaluate (region
// 3). `a` is the pressure or, for AQPTP, the temperature; `b` the
// temperature of AQPPTH, the enthalpy of AQPPHT (the formulation's own at
// the state's (p, T)) or the quality of AQPPQH.
struct If97State {
    double a, b;
    int region;
};

constexpr std::size_t kIf97States = 100000;

std::vector<If97State> If97States(const std::string &name) {
    const Family &f = FamilyNamed(name == "AQPPHT" ? "AQPPTH" : name);
    std::vector<double> a, b;
    MakeStates(f, kIf97States, a, b);
    std::vector<If97State> states;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (name == "AQPTP") {
            states.push_back({a[i] + 273.15, 0, 4});
        } else if (name == "AQPPQH") {
            if (a[i] / 10 <= if97::kSaturationPressureAt623) states.push_back({a[i] / 10, b[i], 4});
        } else {
            const double p = a[i] / 10, t = b[i] + 273.15;
            if (const int region = if97::RegionOf(p, t))
                states.push_back({p, name == "AQPPHT" ? if97::Enthalpy(region, p, t) : t, region});
        }
    }
    return states;
}

// Times fn over the states of a family, as a host computing them itself
// would: one pass over the states, the answers into an array. The counter
// per_row is the time per state, as the batch rows'.
template <class Fn>
void If97Rows(benchmark::State &state, const std::string &name, Fn fn) {
    const std::vector<If97State> states = If97States(name);
    std::vector<double> result(states.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < states.size(); ++i) result[i] = fn(states[i]);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    state.counters["states"] = double(states.size());
    state.counters["per_row"] = benchmark::Counter(double(state.iterations()) * double(states.size()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Fn>
void RegisterIf97(const char *row, const char *family, Fn fn) {
    benchmark::RegisterBenchmark(row, [family, fn](benchmark::State &state) { If97Rows(state, family, fn); });
}

// The share of rows whose lookup decided on the bound alone.
double BoundShare(const Family &f, const std::vector<double> &a, const std::vector<double> &b) {
    const std::size_t n = a.size();
    std::vector<double> result(n);
    std::vector<int> failure(n);
    rudid::LookupStatistics statistics;
    const rudid::ExportDescriptor &fn = rudid::Describe(*rudid::FindExport(f.name));
    rudid::EvaluateBatch(fn, rudid::Startup(), n, a.data(), b.data(), result.data(), failure.data(), true,
                         &statistics);
    return 1 - double(statistics.exactFallbacks) / double(statistics.lookups);
}

void Batch(benchmark::State &state, const std::string &name, Evaluate evaluate) {
    const Family &f = FamilyNamed(name);
    const std::size_t n = std::size_t(state.range(0));
    std::vector<double> a, b, result(n);
    std::vector<int> failure(n);
    MakeStates(f, n, a, b);
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate(f.name, n, a.data(), b.data(), result.data(), failure.data()));
        benchmark::ClobberMemory();
    }
    if (evaluate == &RudidEvaluate) state.counters["bound_share"] = BoundShare(f, a, b);
    state.SetItemsProcessed(state.iterations() * std::int64_t(n));
    // Seconds per row, shown as ns/row.
    state.counters["per_row"] =
        benchmark::Counter(double(state.iterations()) * double(n), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// n rows of the family's states through call(name, n, first, second,
// result, failure, flags), timed per row.
template <class Call>
void FamilyRows(benchmark::State &state, const std::string &name, Call call) {
    const Family &f = FamilyNamed(name);
    const std::size_t n = std::size_t(state.range(0));
    std::vector<double> a, b, result(n);
    std::vector<int> failure(n), flags(n);
    MakeStates(f, n, a, b);
    for (auto _ : state) {
        benchmark::DoNotOptimize(call(f.name, n, a.data(), b.data(), result.data(), failure.data(), flags.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n));
    state.counters["per_row"] =
        benchmark::Counter(double(state.iterations()) * double(n), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BatchFlags(benchmark::State &state, const std::string &name) { FamilyRows(state, name, &RudidEvaluateWithFlags); }

void KeptBatch(benchmark::State &state, const std::string &name, bool withFlags) {
    static RudidContext *context = RudidOpen(nullptr, nullptr, RUDID_KEEP_TABLES | RUDID_TABLE);
    FamilyRows(state, name,
               [withFlags](const char *fn, std::size_t n, const double *a, const double *b, double *result,
                           int *failure, int *flags) {
                   return RudidContextEvaluate(context, fn, 0, n, a, b, result, failure, withFlags ? flags : nullptr);
               });
}

void WholeState(benchmark::State &state, const char *given, bool withFlags) {
    static RudidContext *context = RudidOpen(nullptr, nullptr, RUDID_KEEP_TABLES);
    const std::size_t n = std::size_t(state.range(0)), width = RUDID_STATE_PROPERTIES;
    std::vector<double> p, t, states(width * n), first(n), second(n);
    std::vector<int> codes(width * n), phase(n), flags(width * n);
    MakeStates(FamilyNamed("AQPPTH"), n, p, t);
    RudidSolveStates(context, "pT", 0, n, p.data(), t.data(), states.data(), codes.data(), nullptr, nullptr);
    const bool byPressure = std::strcmp(given, "pT") == 0;
    for (std::size_t i = 0; i < n; ++i) {
        first[i] = byPressure ? p[i] : states[width * i + RUDID_STATE_H];
        second[i] = byPressure ? t[i] : states[width * i + RUDID_STATE_S];
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(RudidSolveStates(context, given, 0, n, first.data(), second.data(), states.data(),
                                                  codes.data(), phase.data(), withFlags ? flags.data() : nullptr));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n));
    state.counters["per_state"] =
        benchmark::Counter(double(state.iterations()) * double(n), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The derived properties over the states of AQPPTH by (p, T), in a refined
// context that keeps its tables: one property by name (RudidContextProperty),
// all nine at once (RudidSolveProperties, name null), and beside them the
// refined enthalpy of the same rows in the same context, the row they are
// measured against.
void DerivedBatch(benchmark::State &state, const char *property) {
    static RudidContext *context = RudidOpen(nullptr, nullptr, RUDID_KEEP_TABLES | RUDID_REFINED);
    const std::size_t n = std::size_t(state.range(0));
    std::vector<double> p, t, result(n * RUDID_DERIVED_PROPERTIES);
    std::vector<int> codes(n * RUDID_DERIVED_PROPERTIES);
    MakeStates(FamilyNamed("AQPPTH"), n, p, t);
    for (auto _ : state) {
        if (!property)
            benchmark::DoNotOptimize(
                RudidSolveProperties(context, "pT", 0, n, p.data(), t.data(), result.data(), codes.data(), nullptr));
        else if (std::strcmp(property, "AQPPTH") == 0)
            benchmark::DoNotOptimize(RudidContextEvaluate(context, property, 0, n, p.data(), t.data(), result.data(),
                                                          codes.data(), nullptr));
        else
            benchmark::DoNotOptimize(RudidContextProperty(context, property, "pT", 0, n, p.data(), t.data(),
                                                          result.data(), codes.data(), nullptr));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n));
    state.counters["per_row"] =
        benchmark::Counter(double(state.iterations()) * double(n), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Open, position, read and close: the least a call that reads `bytes` bytes
// from a table file can cost under the rule that nothing read survives it.
void FileFloor(benchmark::State &state, rudid::Table table, std::uint32_t offset, std::uint32_t bytes) {
    char path[rudid::kMaxPathSize];
    rudid::TablePath(RudidDataDirectory(), table, path, sizeof path);
    std::vector<std::uint8_t> buffer(bytes);
    for (auto _ : state) {
        rudid::platform::FileHandle file{};
        if (rudid::platform::OpenForReading(path, &file) != 0) {
            state.SkipWithError("table file missing");
            break;
        }
        std::size_t got = 0;
        rudid::platform::ReadAt(file, offset, buffer.data(), bytes, &got);
        rudid::platform::CloseFile(file);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// hostWord: the host's x87 control word; hostFlag: an x87 exception flag the
// host has set when it calls (0 for none).
void ArithmeticEnvironment(benchmark::State &state, std::uint16_t hostWord, bool hostFlag) {
    namespace platform = rudid::platform;
    const platform::ArithmeticState own = platform::EnterLibraryArithmetic();
    platform::LeaveLibraryArithmetic({hostWord, std::uint16_t(hostFlag ? 0x20 : 0), own.sseControlStatus});
    volatile long double one = 1;
    for (auto _ : state) {
        const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
        long double third = one / 3;  // raises the precision flag, as nearly every call does
        benchmark::DoNotOptimize(third);
        platform::LeaveLibraryArithmetic(saved);
    }
    platform::LeaveLibraryArithmetic(own);
}

void Register() {
    // The library's start-up, as loading the shared library would run it.
    setenv("ZAREVIRU_INI", RUDID_BENCH_INI, 0);
    rudid::LoadStartupConfiguration();

    for (const Family &f : kFamilies)
        benchmark::RegisterBenchmark((std::string("SingleCall/") + f.name).c_str(), SingleCall, f.name, nullptr);
    for (const char *name : {"AQPPTH", "AQPPHT", "AQPPT", "AQPPQH"})
        benchmark::RegisterBenchmark((std::string("SingleCallCached/") + name).c_str(), SingleCallCached, name);
    RegisterIf97("IF97/h(p,T)", "AQPPTH", [](const If97State &s) { return if97::EnthalpyAt(s.a, s.b); });
    RegisterIf97("IF97/h(p,T)_region_given", "AQPPTH",
                 [](const If97State &s) { return if97::Enthalpy(s.region, s.a, s.b); });
    RegisterIf97("IF97/T(p,h)", "AQPPHT", [](const If97State &s) { return if97::TemperatureAt(s.a, s.b); });
    RegisterIf97("IF97/T(p,h)_region_given", "AQPPHT",
                 [](const If97State &s) { return if97::Temperature(s.region, s.a, s.b); });
    RegisterIf97("IF97/h(p,x)", "AQPPQH", [](const If97State &s) { return if97::WetEnthalpyAt(s.a, s.b); });
    RegisterIf97("IF97/p_sat(T)", "AQPTP", [](const If97State &s) { return if97::SaturationPressure(s.a); });
    benchmark::RegisterBenchmark("FileFloor/zarude.dat_2_records", FileFloor,
                                 rudid::Table::SaturationOnPressureGrid, 100 * 28, 56);
    benchmark::RegisterBenchmark("FileFloor/vevuzu.dat_2_records", FileFloor,
                                 rudid::Table::SaturationOnTemperatureGrid, 100 * 28, 56);
    benchmark::RegisterBenchmark("FileFloor/didizar.dat_2_isobars", FileFloor, rudid::Table::SinglePhase,
                                 100 * 972, 1944);
    benchmark::RegisterBenchmark("ArithmeticEnvironment/library_words", ArithmeticEnvironment, 0x037F, false);
    benchmark::RegisterBenchmark("ArithmeticEnvironment/host_0x027F", ArithmeticEnvironment, 0x027F, false);
    benchmark::RegisterBenchmark("ArithmeticEnvironment/host_0x027F_flag_set", ArithmeticEnvironment, 0x027F,
                                 true);
    Evaluate old = nullptr;
    if (const char *path = std::getenv("RUDID_BENCH_OLD")) {
        if (void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND)) {
            old = reinterpret_cast<Evaluate>(dlsym(library, "RudidEvaluate"));
            for (const Family &f : kFamilies)
                benchmark::RegisterBenchmark((std::string("Old/SingleCall/") + f.name).c_str(), SingleCall, f.name,
                                             library);
        } else {
            std::fprintf(stderr, "RUDID_BENCH_OLD: %s\n", dlerror());
        }
    }
    benchmark::RegisterBenchmark("WholeState/pT", WholeState, "pT", false)->Arg(1000);
    benchmark::RegisterBenchmark("WholeState/pT_flags", WholeState, "pT", true)->Arg(1000);
    benchmark::RegisterBenchmark("WholeState/hs", WholeState, "hs", false)->Arg(1000);
    for (const char *property : {"AQPPTH", "rho", "u", "cp", "mu", "lambda", "sigma"})
        benchmark::RegisterBenchmark((std::string("DerivedBatch/") + property).c_str(), DerivedBatch, property)
            ->Arg(100000);
    benchmark::RegisterBenchmark("DerivedBatch/all_nine", DerivedBatch, nullptr)->Arg(1000)->Arg(100000);
    for (const Family &f : kFamilies) {
        const std::string name = f.name;
        benchmark::RegisterBenchmark(("KeptBatch/" + name).c_str(), KeptBatch, name, false)->Arg(100000);
        benchmark::RegisterBenchmark(("KeptBatchFlags/" + name).c_str(), KeptBatch, name, true)->Arg(100000);
    }
    for (const char *name : {"AQPPTH", "AQPPHT", "AQPPQH", "AQPTP"}) {
        benchmark::RegisterBenchmark((std::string("Batch/") + name).c_str(), Batch, name, &RudidEvaluate)
            ->Arg(1)->Arg(10)->Arg(1000)->Arg(100000);
        benchmark::RegisterBenchmark((std::string("BatchFlags/") + name).c_str(), BatchFlags, name)
            ->Arg(1000)->Arg(100000);
        benchmark::RegisterBenchmark((std::string("RefinedBatch/") + name).c_str(), Batch, name,
                                     &RudidEvaluateRefined)
            ->Arg(1)->Arg(10)->Arg(1000)->Arg(100000);
        if (old)
            benchmark::RegisterBenchmark((std::string("Old/Batch/") + name).c_str(), Batch, name, old)
                ->Arg(1)->Arg(10)->Arg(1000)->Arg(100000);
    }
}

}  // namespace

int main(int argc, char **argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
