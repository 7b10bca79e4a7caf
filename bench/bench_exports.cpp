// Benchmarks of the exported functions on the shipped tables.
//
//   build/bench/rudid_bench
//
// SingleCall/*   one call of an export, as a host makes it: open, read and
//                close of its table files included.
// FileFloor/*    what the file rules alone cost a call: open, position, read
//                and close of the same table file, with no arithmetic.
// Batch/*        RudidEvaluate over n rows; items_per_second gives rows.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "rudid32.h"
#include "tables/table_source.h"

namespace {

using Export = double *(*)(double, double);

double *Saturation1(double p, double) { return AQPPT(p); }
double *SaturationT(double t, double) { return AQPTP(t); }

struct Family {
    const char *name;
    Export fn;
    double lowA, highA;  // pressure on a log scale, or temperature
    bool logA;
    double lowB, highB;
};

// States inside each export's domain.
const Family kFamilies[] = {
    {"AQPPT", Saturation1, 0.01, 221.2, true, 0, 0},
    {"AQPTP", SaturationT, 0, 374, false, 0, 0},
    {"AQPPQH", AQPPQH, 0.01, 221.2, true, 0, 1},
    {"AQPTQS", AQPTQS, 0, 374, false, 0, 1},
    {"AQPPTH", AQPPTH, 0.01, 1000, true, 0, 800},
    {"AQPPHT", AQPPHT, 0.01, 1000, true, 100, 3500},
    {"AQPPST", AQPPST, 0.01, 1000, true, 0.5, 8.5},
    {"AQPPVT", AQPPVT, 0.01, 1000, true, 0.0011, 0.5},
};

const Family &FamilyNamed(const std::string &name) {
    for (const Family &f : kFamilies)
        if (name == f.name) return f;
    return kFamilies[0];
}

void MakeStates(const Family &f, std::size_t n, std::vector<double> &a, std::vector<double> &b) {
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    a.resize(n);
    b.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double u = unit(random);
        a[i] = f.logA ? std::exp(std::log(f.lowA) + u * (std::log(f.highA) - std::log(f.lowA)))
                      : f.lowA + u * (f.highA - f.lowA);
        b[i] = f.lowB + unit(random) * (f.highB - f.lowB);
    }
}

void SingleCall(benchmark::State &state, const std::string &name) {
    const Family &f = FamilyNamed(name);
    std::vector<double> a, b;
    MakeStates(f, 4096, a, b);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.fn(a[i], b[i]));
        i = (i + 1) % a.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void Batch(benchmark::State &state, const std::string &name) {
    const Family &f = FamilyNamed(name);
    const std::size_t n = std::size_t(state.range(0));
    std::vector<double> a, b, result(n);
    std::vector<int> failure(n);
    MakeStates(f, n, a, b);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RudidEvaluate(f.name, n, a.data(), b.data(), result.data(), failure.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(n));
}

// Open, position, read and close: the least a call that reads `bytes` bytes
// from a table file can cost under the rule that nothing read survives it.
void FileFloor(benchmark::State &state, rudid::Table table, std::uint32_t offset, std::uint32_t bytes) {
    char path[1024];
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

void Register() {
    for (const Family &f : kFamilies)
        benchmark::RegisterBenchmark((std::string("SingleCall/") + f.name).c_str(), SingleCall, f.name);
    benchmark::RegisterBenchmark("FileFloor/zarude.dat_2_records", FileFloor,
                                 rudid::Table::SaturationByPressure, 100 * 28, 56);
    benchmark::RegisterBenchmark("FileFloor/didizar.dat_2_isobars", FileFloor, rudid::Table::SinglePhase,
                                 100 * 972, 1944);
    for (const char *name : {"AQPPTH", "AQPPHT", "AQPPQH", "AQPTP"})
        benchmark::RegisterBenchmark((std::string("Batch/") + name).c_str(), Batch, name)
            ->Arg(1)->Arg(10)->Arg(1000)->Arg(100000);
}

}  // namespace

int main(int argc, char **argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
