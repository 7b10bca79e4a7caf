// The bounds that settle a batch's state flags without the exact estimates
// (tables/state_flag_bounds.h): they must settle most rows, and never give
// a row other flags than the estimate does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "api/batch.h"
#include "api/library_instance.h"
#include "api/tables_configuration.h"
#include "platform/platform.h"
#include "support/test_files.h"

namespace rudid::testing {
namespace {

struct Rows {
    std::vector<double> a, b;
    std::vector<int> flags;  // stored
};

// States on both sides of every kind of flag boundary, with the flags that
// the release gives them (tools/generate_hard_flag_states.py).
std::map<std::string, Rows> HardStates() {
    std::map<std::string, Rows> rows;
    std::ifstream in(RUDID_HARD_FLAG_STATES);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string name, a, b;
        int flags;
        if (!(words >> name >> a >> b >> flags)) continue;
        Rows &r = rows[name];
        r.a.push_back(std::strtod(a.c_str(), nullptr));
        r.b.push_back(std::strtod(b.c_str(), nullptr));
        r.flags.push_back(flags);
    }
    return rows;
}

// A batch of these states takes the bounds where they settle a row and the
// exact estimate elsewhere; either way each row has the stored flags. Most
// states sit a few ulps from a boundary, where a bound that claimed too much
// would give the other side's flags.
TEST(FlagBounds, GiveTheReleasesFlagsOnBothSidesOfEveryFlagBoundary) {
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir);
    const std::map<std::string, Rows> states = HardStates();
    ASSERT_GE(states.size(), 12u) << "cannot read " RUDID_HARD_FLAG_STATES;
    LookupStatistics statistics;
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    for (const auto &[name, rows] : states) {
        const std::size_t n = rows.a.size();
        std::vector<double> result(n);
        std::vector<int> failure(n);
        std::vector<unsigned> flags(n);
        EvaluateBatch(Describe(*FindExport(name.c_str())), config, n, rows.a.data(), rows.b.data(), result.data(),
                      failure.data(), true, &statistics, flags.data());
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_EQ(int(flags[i]), rows.flags[i]) << name << "(" << std::hexfloat << rows.a[i] << ", " << rows.b[i] << ")";
    }
    platform::LeaveLibraryArithmetic(saved);
    // The bounds took part: some of these rows lie in cells that they
    // settle (18 % when the set was made; the rest beside a boundary that
    // only the estimate finds).
    EXPECT_GT(statistics.settledFlags, (statistics.settledFlags + statistics.exactFlags) / 10);
}

// The share of batch rows whose flags the bounds settle, on states like the
// benchmark's: at least what it was when the bounds came in (on these rows
// AQPPTH 0.9984, AQPPHT 0.9841, AQPPQH 1). Bounds that gave up, or a
// batch that no longer asked them, fall below.
TEST(FlagBounds, SettleMostBenchmarkRowsWithoutTheExactEstimate) {
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir);
    const std::size_t n = 100000;
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> p(n), t(n), h(n), x(n), sp(n), result(n);
    std::vector<int> failure(n);
    std::vector<unsigned> flags(n);
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = std::exp(std::log(0.01) + unit(random) * std::log(1000 / 0.01));
        t[i] = unit(random) * 800;
        sp[i] = std::exp(std::log(0.01) + unit(random) * std::log(221.2 / 0.01));
        x[i] = unit(random);
    }
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    auto share = [&](const char *name, const std::vector<double> &a, const std::vector<double> &b) {
        LookupStatistics statistics;
        EvaluateBatch(Describe(*FindExport(name)), config, n, a.data(), b.data(), result.data(), failure.data(), true,
                      &statistics, flags.data());
        return double(statistics.settledFlags) / double(statistics.settledFlags + statistics.exactFlags);
    };
    EvaluateBatch(Describe(*FindExport("AQPPTH")), config, n, p.data(), t.data(), h.data(), failure.data(), true);
    const double pth = share("AQPPTH", p, t), pht = share("AQPPHT", p, h), pqh = share("AQPPQH", sp, x);
    platform::LeaveLibraryArithmetic(saved);
    EXPECT_GE(pth, 0.998) << "AQPPTH";
    EXPECT_GE(pht, 0.983) << "AQPPHT";
    EXPECT_GE(pqh, 0.999) << "AQPPQH";
}

// Each row's flags from a batch (bounds first) and from a batch of that row
// alone (the exact estimate only), in the tables of dir; reports the first
// rows that differ.
void ExpectBoundsAgreeWithTheEstimate(const StartupConfiguration &config, const char *name,
                                      const std::vector<double> &a, const std::vector<double> &b,
                                      std::size_t *settled) {
    const std::size_t n = a.size();
    std::vector<double> result(n);
    std::vector<int> failure(n);
    std::vector<unsigned> batch(n);
    LookupStatistics statistics;
    const ExportDescriptor &fn = Describe(*FindExport(name));
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    EvaluateBatch(fn, config, n, a.data(), b.data(), result.data(), failure.data(), true, &statistics, batch.data());
    int reported = 0;
    for (std::size_t i = 0; i < n && reported < 5; ++i) {
        double r;
        int f;
        unsigned alone;
        EvaluateBatch(fn, config, 1, &a[i], &b[i], &r, &f, true, nullptr, &alone);
        if (alone != batch[i]) {
            ++reported;
            ADD_FAILURE() << name << "(" << std::hexfloat << a[i] << ", " << b[i] << "): batch " << batch[i]
                          << ", estimate " << alone;
        }
    }
    platform::LeaveLibraryArithmetic(saved);
    *settled += statistics.settledFlags;
}

// Pressure-temperature states across the tables and keys of the tables at
// them; in internal units (no default.cfg).
void DrawStates(const StartupConfiguration &config, std::size_t n, unsigned seed, std::vector<double> *p,
                std::vector<double> *t, std::vector<double> *h, std::vector<double> *v) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    p->resize(n), t->resize(n), h->resize(n), v->resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        (*p)[i] = std::exp(std::log(0.01) + unit(random) * std::log(1000 / 0.01));
        (*t)[i] = unit(random) * 800;
    }
    std::vector<int> failure(n);
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    EvaluateBatch(Describe(*FindExport("AQPPTH")), config, n, p->data(), t->data(), h->data(), failure.data(), true);
    EvaluateBatch(Describe(*FindExport("AQPPTV")), config, n, p->data(), t->data(), v->data(), failure.data(), true);
    platform::LeaveLibraryArithmetic(saved);
}

// The bounds are worked out from whatever the tables hold: on tables whose
// every value is moved at random by up to 2 %, so that the grid bends
// everywhere and in every direction, each batch row still has the flags of
// the exact estimate. A bound that leant on the shape of the shipped tables
// would settle rows that the estimate flags.
TEST(FlagBounds, AgreeWithTheEstimateOnTablesThatBendEverywhere) {
    InstanceSetup setup = ShippedSetup();
    std::mt19937_64 random(99);
    std::uniform_real_distribution<float> wobble(0.98f, 1.02f);
    for (std::vector<std::uint8_t> *table : {&*setup.singlePhase, &*setup.saturationByPressure}) {
        for (std::size_t at = 0; at + 4 <= table->size(); at += 4) {
            float value;
            std::memcpy(&value, table->data() + at, 4);
            value *= wobble(random);
            std::memcpy(table->data() + at, &value, 4);
        }
    }
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir, setup);
    std::vector<double> p, t, h, v;
    DrawStates(config, 20000, 7, &p, &t, &h, &v);
    std::vector<double> pSaturation(p), quality(t);
    for (std::size_t i = 0; i < p.size(); ++i) pSaturation[i] = std::min(p[i], 221.2), quality[i] = t[i] / 800;
    std::size_t settled = 0;
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPTH", p, t, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPTV", p, t, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPHT", p, h, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPHS", p, h, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPVT", p, v, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPHQ", p, h, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPQH", pSaturation, quality, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPQV", pSaturation, quality, &settled);
    EXPECT_GT(settled, 20000u) << "the bounds settled almost nothing: the comparison proves little";
}

// Every one of the 23 functions, on the shipped tables: half the states
// across the whole range, half within 3 degC of the saturation line (most
// of them much closer), where cells mix phases and the margins of the line
// decide. Each batch row must
// have the flags of the exact estimate.
TEST(FlagBounds, AgreeWithTheEstimateForEveryFunction) {
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir);
    constexpr std::size_t n = 3000;
    std::vector<double> p, t, h, v;
    DrawStates(config, n, 11, &p, &t, &h, &v);
    std::vector<double> saturation(n);
    std::vector<int> failure(n);
    std::mt19937_64 random(12);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> pSaturation(n), quality(n), tSaturation(n);
    for (std::size_t i = 0; i < n; ++i) {
        pSaturation[i] = std::min(p[i], 221.2);
        quality[i] = unit(random);
        tSaturation[i] = unit(random) * 374.15;
    }
    const platform::ArithmeticState saved = platform::EnterLibraryArithmetic();
    EvaluateBatch(Describe(*FindExport("AQPPT")), config, n, pSaturation.data(), nullptr, saturation.data(),
                  failure.data(), true);
    for (std::size_t i = n / 2; i < n; ++i) {
        const double d = 2 * unit(random) - 1;  // cubed: a third of the states within 0.1 degC
        t[i] = std::max(0.0, saturation[i] + 3 * d * d * d);
    }
    EvaluateBatch(Describe(*FindExport("AQPPTH")), config, n, p.data(), t.data(), h.data(), failure.data(), true);
    EvaluateBatch(Describe(*FindExport("AQPPTV")), config, n, p.data(), t.data(), v.data(), failure.data(), true);
    std::vector<double> s(n);
    EvaluateBatch(Describe(*FindExport("AQPPTS")), config, n, p.data(), t.data(), s.data(), failure.data(), true);
    platform::LeaveLibraryArithmetic(saved);

    std::size_t settled = 0;
    for (int id = 0; id < kExportCount; ++id) {
        const ExportDescriptor &fn = Describe(ExportId(id));
        const std::vector<double> *a = &p, *b = &t;
        switch (fn.family) {
            case ExportFamily::SaturationByPressure: a = &pSaturation, b = &quality; break;
            case ExportFamily::SaturationByTemperature: a = &tSaturation, b = &quality; break;
            case ExportFamily::PressureTemperature: break;
            case ExportFamily::PressureEnthalpy: b = &h; break;
            case ExportFamily::PressureEntropy: b = &s; break;
            case ExportFamily::PressureVolume: b = &v; break;
        }
        ExpectBoundsAgreeWithTheEstimate(config, fn.name, *a, *b, &settled);
    }
    EXPECT_GT(settled, 23 * n / 2) << "the bounds settled too few rows: the comparison proves little";
}

// Records the bounds cannot use (a NaN in an isobar, a huge saturated
// volume) leave the rows that read them to the estimate, which gives no
// flags where it fails on them; the rows elsewhere are settled as usual.
TEST(FlagBounds, LeaveRowsThatReadUnusableRecordsToTheEstimate) {
    InstanceSetup setup = ShippedSetup();
    auto poke = [](std::vector<std::uint8_t> &table, std::size_t single, float value) {
        std::memcpy(table.data() + 4 * single, &value, 4);
    };
    poke(*setup.singlePhase, 100 * 243 + 3 * 30 + 1, std::nanf(""));  // isobar 101 (21 bar), 300 degC, h
    poke(*setup.singlePhase, 60 * 243 + 3 * 12 + 0, 3e38f);          // isobar 61 (3 bar), 120 degC, v
    poke(*setup.saturationByPressure, 70 * 7 + 2, 1e37f);            // record 70 (2.4 bar), vapour volume
    ScratchDirectory dir;
    const StartupConfiguration config = ConfigurationOfTables(dir, setup);
    std::vector<double> p, t, h, v;
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 6000; ++i) {
        p.push_back(std::exp(std::log(1.5) + unit(random) * std::log(30 / 1.5)));
        t.push_back(unit(random) * 400);
    }
    std::vector<double> quality(t);
    for (double &x : quality) x /= 400;
    std::size_t settled = 0;
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPTH", p, t, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPTV", p, t, &settled);
    ExpectBoundsAgreeWithTheEstimate(config, "AQPPQV", p, quality, &settled);
    EXPECT_GT(settled, 3000u);
}

}  // namespace
}  // namespace rudid::testing
