// RudidEvaluate against the single calls: every row must be the very double
// the single call gives, a failure the same code, on the shipped tables and
// on short, missing and corrupted ones.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "api/batch.h"
#include "api/library_instance.h"
#include "api/tables_configuration.h"
#include "platform/platform.h"
#include "tables/pressure_grids.h"
#include "common/failure.h"
#include "tables/saturation_by_pressure.h"

namespace rudid::testing {
namespace {

struct Rows {
    std::vector<double> a, b;
};

// Random arguments across and beyond each export's domain, with the values
// that sit on the edges of its ranges and the ones no six-byte real holds.
Rows RandomRows(const std::string &name, std::size_t n, unsigned seed) {
    static const double kSpecial[] = {0,     -0.0,  0.01,   221.2, 374.15,   1000,  800,     999.999, 1e39,
                                      -1e39, INFINITY, NAN, 1e-40, 273.15, 1,     0.5,     100,     0.00317,
                                      2107.4, 4.4429, 220,  -1,    1e6};
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Grid points of both pressure grids, whole and tenth degrees, and
    // their neighbours: where the lookups change cell or record.
    auto onGrid = [&]() -> double {
        double x;
        switch (random() % 4) {
            case 0: x = double(SaturationPressures().value[1 + random() % kSaturationGridPoints]); break;
            case 1: x = SinglePhasePressures().point[1 + random() % kSinglePhaseGridPoints]; break;
            case 2: x = double(random() % 801); break;
            default: x = double(random() % 3751) / 10; break;
        }
        switch (random() % 3) {
            case 0: return x;
            case 1: return x * (1 + 0x1p-39);
            default: return x * (1 - 0x1p-39);
        }
    };
    auto pick = [&] { return random() % 2 ? kSpecial[random() % std::size(kSpecial)] : onGrid(); };
    const bool temperatureFirst = name.rfind("AQPT", 0) == 0;
    const char key = name.size() > 4 ? name[4] : ' ';
    Rows rows;
    for (std::size_t i = 0; i < n; ++i) {
        double a = temperatureFirst ? -5 + 385 * unit(random) : std::exp(std::log(0.005) + unit(random) * std::log(2.4e5));
        double b;
        switch (key) {
            case 'Q': b = -0.05 + 1.1 * unit(random); break;
            case 'T': b = -5 + 815 * unit(random); break;
            case 'H': b = -50 + 4300 * unit(random); break;
            case 'S': b = -0.5 + 12.5 * unit(random); break;
            case 'V': b = std::exp(std::log(0.0005) + unit(random) * std::log(6e5)); break;
            default: b = 0; break;
        }
        if (random() % 8 == 0) a = pick();
        if (random() % 8 == 0) b = pick();
        rows.a.push_back(a);
        rows.b.push_back(b);
    }
    return rows;
}

// Runs one export over the rows, single and in batches of `chunk` rows, and
// compares.
void ExpectBatchesEqualSingleCalls(const LibraryInstance &lib, const std::string &name, const Rows &rows,
                                   std::size_t chunk) {
    for (std::size_t start = 0; start < rows.a.size(); start += chunk) {
        const std::size_t n = std::min(chunk, rows.a.size() - start);
        std::vector<double> result(n);
        std::vector<int> failure(n, -7);
        lib.RudidEvaluate(name.c_str(), n, rows.a.data() + start, rows.b.data() + start, result.data(),
                          failure.data());
        for (std::size_t i = 0; i < n; ++i) {
            const double *single = lib.Call(name, rows.a[start + i], rows.b[start + i]);
            const std::string row = name + "(" + std::to_string(rows.a[start + i]) + ", " +
                                    std::to_string(rows.b[start + i]) + ")";
            if (single == nullptr) {
                ASSERT_EQ(failure[i], lib.RudidLastError()) << row;
            } else {
                ASSERT_EQ(failure[i], 0) << row;
                ASSERT_EQ(std::memcmp(single, &result[i], sizeof(double)), 0) << row;
            }
        }
    }
}

// Runs every export over the rows, single and batch, and compares.
void ExpectBatchEqualsSingleCalls(const LibraryInstance &lib, std::size_t n, unsigned seed) {
    for (const std::string &name : ExportNames()) {
        const Rows rows = RandomRows(name, n, seed);
        std::vector<double> result(n);
        std::vector<int> failure(n, -7);
        const int failed = lib.RudidEvaluate(name.c_str(), n, rows.a.data(), rows.b.data(), result.data(),
                                             failure.data());
        int expectedFailed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double *single = lib.Call(name, rows.a[i], rows.b[i]);
            if (single == nullptr) {
                ++expectedFailed;
                ASSERT_TRUE(std::isnan(result[i])) << name << " row " << i;
                ASSERT_EQ(failure[i], lib.RudidLastError()) << name << " row " << i;
            } else {
                ASSERT_EQ(std::memcmp(single, &result[i], sizeof(double)), 0)
                    << name << "(" << rows.a[i] << ", " << rows.b[i] << "): single " << *single << ", batch "
                    << result[i];
                ASSERT_EQ(failure[i], 0) << name << " row " << i;
            }
        }
        EXPECT_EQ(failed, expectedFailed) << name;
    }
}

TEST(BatchEvaluation, EqualsSingleCallsOnTheShippedTables) {
    LibraryInstance lib(ShippedSetup());
    ExpectBatchEqualsSingleCalls(lib, 4400, 1);  // more than 100,000 rows
}

TEST(BatchEvaluation, EqualsSingleCallsInImperialUnits) {
    LibraryInstance lib(ShippedSetup(UnitChoice{10, 3, 2, 3, 4}));
    ExpectBatchEqualsSingleCalls(lib, 1000, 2);
}

TEST(BatchEvaluation, EqualsSingleCallsOnSyntheticTables) {
    ExpectBatchEqualsSingleCalls(LibraryInstance::Standard(), 1500, 3);
}

TEST(BatchEvaluation, RowsNeedingAMissingOrShortTableFailAndTheOthersAnswer) {
    InstanceSetup setup = StandardSetup();
    setup.saturationByPressure = SaturationByPressureTable(200);  // up to 100 bar or so
    setup.singlePhase.reset();                                     // missing
    LibraryInstance lib(setup);
    ExpectBatchEqualsSingleCalls(lib, 1500, 4);

    // A failing row beside rows that answer, with a property or a code.
    const double p[] = {1, 150, 300, 0.001};
    const double x[] = {0.5, 0.5, 0.5, 0.5};
    double result[4];
    int failure[4];
    EXPECT_EQ(lib.RudidEvaluate("AQPPQH", 4, p, x, result, failure), 1);
    EXPECT_EQ(failure[0], 0);
    EXPECT_EQ(failure[1], 100);  // short zarude.dat
    EXPECT_TRUE(std::isnan(result[1]));
    EXPECT_EQ(result[2], -1004.0);
    EXPECT_EQ(result[3], -1001.0);
    EXPECT_EQ(failure[3], 0);

    // Wet steam needs no single-phase table; superheated steam does.
    const double pressures[] = {1, 1};
    const double enthalpies[] = {2000, 3000};
    EXPECT_EQ(lib.RudidEvaluate("AQPPHT", 2, pressures, enthalpies, result, failure), 1);
    EXPECT_EQ(failure[0], 0);
    EXPECT_EQ(failure[1], 2);  // missing didizar.dat
    EXPECT_TRUE(std::isnan(result[1]));
}

TEST(BatchEvaluation, FewAndManyRowsReadShortTablesAlike) {
    // One row reads the tables record by record and isobar by isobar, few
    // rows read the saturation tables whole and the single-phase table by
    // isobar, many read all whole: each must fail exactly the rows that need
    // a record or an isobar past the end, here also one cut inside a record.
    InstanceSetup setup = StandardSetup();
    setup.singlePhase = SinglePhaseTable(150);
    setup.saturationByPressure->resize(200 * 28 + 10);
    setup.saturationByTemperature->resize(150 * 28 + 3);
    LibraryInstance lib(setup);
    // Rows one, two and three at a time around the cuts: pressures whose
    // records are the last ones of the short zarude.dat, temperatures whose
    // records are the last ones of the short vevuzu.dat.
    const SaturationPressureGrid &grid = SaturationPressures();
    for (const std::string &name : ExportNames()) {
        const bool temperatureFirst = name.rfind("AQPT", 0) == 0;
        const char key = name.size() > 4 ? name[4] : ' ';
        const double second = key == 'Q' ? 0.5 : key == 'T' ? 300 : key == 'H' ? 2000 : key == 'S' ? 5 : 0.1;
        Rows rows;
        for (int k = 0; k < 24; ++k) {
            rows.a.push_back(temperatureFirst ? 146.5 + k * 0.25 : grid.value[198] + k * (grid.value[203] - grid.value[198]) / 24);
            rows.b.push_back(second);
        }
        for (std::size_t chunk = 1; chunk <= 3; ++chunk) ExpectBatchesEqualSingleCalls(lib, name, rows, chunk);
    }
    ExpectBatchEqualsSingleCalls(lib, 20, 6);
    ExpectBatchEqualsSingleCalls(lib, 1000, 7);
}

TEST(BatchEvaluation, CorruptedTableValuesFailTheSameRowsAsSingleCalls) {
    InstanceSetup setup = ShippedSetup();
    std::mt19937 random(9);
    const float poison[] = {NAN, INFINITY, 3e38f, 1.0e38f, -1.2e38f, 1e-40f};
    for (auto *table : {&setup.saturationByPressure, &setup.saturationByTemperature, &setup.singlePhase}) {
        Bytes &bytes = **table;
        for (int k = 0; k < 30; ++k) {
            const std::size_t i = random() % (bytes.size() / 4);
            std::memcpy(bytes.data() + 4 * i, &poison[random() % std::size(poison)], 4);
        }
    }
    LibraryInstance lib(setup);
    ExpectBatchEqualsSingleCalls(lib, 2000, 5);
}

TEST(BatchEvaluation, RefusesUnknownNamesAndMissingArrays) {
    const LibraryInstance &lib = LibraryInstance::Standard();
    double a[1] = {1}, r[1];
    int f[1];
    EXPECT_EQ(lib.RudidEvaluate("AQPXX", 1, a, a, r, f), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(lib.RudidEvaluate(nullptr, 1, a, a, r, f), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(lib.RudidEvaluate("AQPPTH", 1, a, nullptr, r, f), RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(lib.RudidEvaluate("AQPPTH", 1, a, a, nullptr, f), RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(lib.RudidEvaluate("AQPPTH", 1, a, a, r, nullptr), RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(lib.RudidEvaluate("AQPPTH", 0, nullptr, nullptr, nullptr, nullptr), 0);
    // The one-argument functions need no second array.
    EXPECT_EQ(lib.RudidEvaluate("AQPPT", 1, a, nullptr, r, f), 0);
    EXPECT_EQ(r[0], *lib.AQPPT(1));
}

TEST(BatchEvaluation, LeavesTheThreadsLastFailureAlone) {
    const LibraryInstance &lib = LibraryInstance::Standard();
    EXPECT_EQ(lib.AQPPT(1e39), nullptr);
    const double a[1] = {1}, b[1] = {0.5};
    double r[1];
    int f[1];
    EXPECT_EQ(lib.RudidEvaluate("AQPPQH", 1, a, b, r, f), 0);
    EXPECT_EQ(lib.RudidLastError(), 205);
}

// Rows on and just beside the saturation line of the tables in
// dataDirectory, in internal units: temperatures within about 0.001 degC
// of the saturation temperature (where the single-phase functions refuse),
// and keys at and next to the saturated liquid's and vapour's values.
// There the straight-line lookups cannot decide on rough values and must
// take the exact comparisons. Pressures whose records cannot be read are
// left out.
Rows NearSaturation(const ExportDescriptor &fn, const char *dataDirectory, std::size_t n, unsigned seed) {
    int liquid;
    switch (fn.family) {
        case ExportFamily::PressureTemperature: liquid = -1; break;
        case ExportFamily::PressureEnthalpy: liquid = kLiquidEnthalpy; break;
        case ExportFamily::PressureEntropy: liquid = kLiquidEntropy; break;
        case ExportFamily::PressureVolume: liquid = kLiquidVolume; break;
        default: return {};
    }
    const double kOffsets[] = {0, 0.001, -0.001, 0.001 * (1 + 0x1p-30), -0.001 * (1 + 0x1p-30),
                               0.001 * (1 - 0x1p-30), 1e-7, -1e-7, 0.3, -0.3};
    const double kFactors[] = {1, 1 + 0x1p-39, 1 - 0x1p-39, 1 + 0x1p-33, 1 - 0x1p-33, 1 + 1e-7, 1 - 1e-7};
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const TableSource tables = FileTableSource(dataDirectory);
    Rows rows;
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    for (std::size_t i = 0; i < n; ++i) {
        const Extended p = RoundToReal48(std::exp(std::log(0.01) + unit(random) * std::log(221.2 / 0.01)));
        try {
            SaturationPoint sat = SaturationAtPressure(tables, p);
            double b;
            if (liquid < 0)
                b = double(sat.field(kSaturationLevel)) + kOffsets[random() % std::size(kOffsets)];
            else
                b = double(sat.field(liquid + int(random() % 2))) * kFactors[random() % std::size(kFactors)];
            rows.a.push_back(double(p));
            rows.b.push_back(b);
        } catch (const LibraryFailure &) {
        }
    }
    platform::LeaveLibraryArithmetic(saved);
    return rows;
}

// The lookups' two ways of deciding, bit for bit, where the bound is
// tightest: states next to the saturation line, where many decisions fall
// back to exact values. (Everywhere else the stored corpus holds the batch
// to the release's answers.)
TEST(BoundedDecisions, DecideAsExactOnesNextToTheSaturationLine) {
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir);
    for (int id = 0; id < kExportCount; ++id) {
        const ExportDescriptor &fn = Describe(ExportId(id));
        Rows rows = NearSaturation(fn, config.dataDirectory, 3000, 100 + unsigned(id));
        const std::size_t n = rows.a.size();
        std::vector<double> bounded(n), exact(n);
        std::vector<int> boundedFailure(n), exactFailure(n);
        const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
        EvaluateBatch(fn, config, n, rows.a.data(), rows.b.data(), bounded.data(), boundedFailure.data(), true);
        EvaluateBatch(fn, config, n, rows.a.data(), rows.b.data(), exact.data(), exactFailure.data(), false);
        platform::LeaveLibraryArithmetic(saved);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_TRUE(boundedFailure[i] == exactFailure[i] && std::memcmp(&bounded[i], &exact[i], 8) == 0)
                << fn.name << "(" << rows.a[i] << ", " << rows.b[i] << ")";
    }
}

// The share of batch rows that the bound decides alone, on states like the
// benchmark's (pressure log-uniform, temperature uniform, keys of the tables
// at such states): at least what it was when the bound became a policy of
// the lookups (on these rows AQPPTH 0.98897, AQPPHT 0.98972, AQPPQH and
// AQPTP 1). A bound that stopped deciding, or a lookup that no longer asked
// it, falls below.
TEST(BoundedDecisions, DecideMostRowsOnTheBoundAlone) {
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir);
    const std::size_t n = 100000;
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> p(n), t(n), h(n), x(n), result(n);
    std::vector<int> failure(n);
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = std::exp(std::log(0.01) + unit(random) * std::log(1000 / 0.01));
        t[i] = unit(random) * 800;
        x[i] = unit(random);
    }
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    auto share = [&](const char *name, const std::vector<double> &a, const std::vector<double> &b) {
        LookupStatistics statistics;
        EvaluateBatch(Describe(*FindExport(name)), config, n, a.data(), b.data(), result.data(), failure.data(), true,
                      &statistics);
        return 1 - double(statistics.exactFallbacks) / double(statistics.lookups);
    };
    EvaluateBatch(Describe(*FindExport("AQPPTH")), config, n, p.data(), t.data(), h.data(), failure.data(), true);
    const double pth = share("AQPPTH", p, t), pht = share("AQPPHT", p, h), pqh = share("AQPPQH", p, x);
    std::vector<double> ts(t);
    for (double &v : ts) v *= 374.15 / 800;
    const double tp = share("AQPTP", ts, ts);
    platform::LeaveLibraryArithmetic(saved);
    EXPECT_GE(pth, 0.9889) << "AQPPTH";
    EXPECT_GE(pht, 0.9897) << "AQPPHT";
    EXPECT_GE(pqh, 0.99999) << "AQPPQH";
    EXPECT_GE(tp, 0.99999) << "AQPTP";
}

// Lowers the descriptor limit of this process so that exactly one
// descriptor is free: every number below the limit is taken but one.
bool LeaveOneDescriptorFree() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    int highest = 2;
    for (int fd = 0; fd < 4096; ++fd)
        if (fcntl(fd, F_GETFD) != -1) highest = fd;
    limit.rlim_cur = rlim_t(highest) + 1;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    int last = -1;
    for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) last = fd;
    return last >= 0 && close(last) == 0;
}

// In a child process with one descriptor free, the batch answers every row
// exactly as the single call does; the exit status says whether it did.
void CompareWithOneDescriptorFree(const LibraryInstance &lib, const char *name, std::vector<double> a,
                                  std::vector<double> b) {
    if (!LeaveOneDescriptorFree()) {
        std::fprintf(stderr, "cannot lower the descriptor limit\n");
        _exit(2);
    }
    const std::size_t n = a.size();
    std::vector<double> result(n);
    std::vector<int> failure(n);
    lib.RudidEvaluate(name, n, a.data(), b.data(), result.data(), failure.data());
    int wrong = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double *single = lib.Call(name, a[i], b[i]);
        const bool same = single ? failure[i] == 0 && std::memcmp(single, &result[i], sizeof(double)) == 0
                                 : failure[i] == lib.RudidLastError();
        if (!same) {
            std::fprintf(stderr, "%s(%g, %g): single %s, batch failure %d\n", name, a[i], b[i],
                         single ? "answers" : "fails", failure[i]);
            ++wrong;
        }
    }
    _exit(wrong == 0 ? 0 : 1);
}

TEST(BatchEvaluationDeathTest, NeedsNoMoreDescriptorsThanASingleCall) {
    LibraryInstance lib(ShippedSetup());
    // One row that needs both the saturation and the single-phase table.
    ASSERT_NE(lib.AQPPTH(1, 100), nullptr);
    EXPECT_EXIT(CompareWithOneDescriptorFree(lib, "AQPPTH", {1}, {100}), ::testing::ExitedWithCode(0), "");
    // Few rows, read isobar by isobar, going from the single-phase table
    // back to the saturation table and forth.
    EXPECT_EXIT(CompareWithOneDescriptorFree(lib, "AQPPHT", {300, 1, 500, 5, 1}, {2000, 3000, 2500, 100, 2000}),
                ::testing::ExitedWithCode(0), "");
    // Many rows, the single-phase table read whole.
    const Rows rows = RandomRows("AQPPTH", 500, 11);
    EXPECT_EXIT(CompareWithOneDescriptorFree(lib, "AQPPTH", rows.a, rows.b), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace rudid::testing
