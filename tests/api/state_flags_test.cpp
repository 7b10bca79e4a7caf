// RudidStateFlags on the shipped tables: which answers it marks as poor and
// why, what it answers for names and states without an answer, and that it
// leaves the host's state alone.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "api/library_instance.h"
#include "platform/x87_control.h"
#include "support/x87_state.h"

namespace rudid::testing {
namespace {

using platform::x87::ClearExceptionFlags;
using platform::x87::ReadControlWord;
using rudid::testing::x87::HostControlWord;
using rudid::testing::x87::ReadStatusWord;
using platform::x87::WriteControlWord;

// A copy of the library on the shipped tables, with RudidStateFlags
// resolved from the same loaded copy.
class FlaggingLibrary {
public:
    explicit FlaggingLibrary(const InstanceSetup &setup) : lib(setup) {
        Dl_info info{};
        if (::dladdr(reinterpret_cast<void *>(lib.AQPPT), &info) == 0) throw std::runtime_error("dladdr");
        handle_ = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        if (!handle_) throw std::runtime_error("the loaded copy is not found again");
        flags_ = reinterpret_cast<decltype(&::RudidStateFlags)>(::dlsym(handle_, "RudidStateFlags"));
        if (!flags_) throw std::runtime_error("the library does not export RudidStateFlags");
    }
    ~FlaggingLibrary() { ::dlclose(handle_); }

    int Flags(const char *name, double a, double b = 0) const { return flags_(name, a, b); }

    LibraryInstance lib;

private:
    void *handle_ = nullptr;
    decltype(&::RudidStateFlags) flags_ = nullptr;
};

const FlaggingLibrary &Shipped() {
    static const FlaggingLibrary instance(ShippedSetup());
    return instance;
}

constexpr int kMixed = RUDID_FLAG_MIXED_PHASE_CELL;
constexpr int kNear = RUDID_FLAG_NEAR_SATURATION;
constexpr int kCritical = RUDID_FLAG_CRITICAL_REGION;
constexpr int kCoarse = RUDID_FLAG_COARSE_GRID;

TEST(StateFlags, JustAboveSaturationBetweenIsobarsOfDifferentPhasesIsAMixedCell) {
    // 1 atm, 101 C: at 1.0 bar the 100 C column is steam, at 1.1 bar water.
    EXPECT_TRUE(Shipped().Flags("AQPPTH", 1.01325, 101) & kMixed);
    EXPECT_TRUE(Shipped().Flags("AQPPTS", 1.01325, 101) & kMixed);
    EXPECT_TRUE(Shipped().Flags("AQPPTV", 1.01325, 101) & kMixed);
    EXPECT_TRUE(Shipped().Flags("AQPPTH", 55, 271) & kMixed);
    // The inverse lookup reads the same mixed entry: 109 C instead of 101 C.
    EXPECT_TRUE(Shipped().Flags("AQPPHT", 1.01325, 2677.66) & kMixed);
}

TEST(StateFlags, WellInsideOnePhaseNothingIsFlagged) {
    for (const char *name : {"AQPPTH", "AQPPTS", "AQPPTV"}) {
        EXPECT_EQ(Shipped().Flags(name, 10, 300), 0) << name;
        EXPECT_EQ(Shipped().Flags(name, 100, 50), 0) << name;
        EXPECT_EQ(Shipped().Flags(name, 500, 600), 0) << name;
    }
    EXPECT_EQ(Shipped().Flags("AQPPHT", 10, 3051.7), 0);  // 10 bar, 300 C
    EXPECT_EQ(Shipped().Flags("AQPPST", 10, 7.1247), 0);
    EXPECT_EQ(Shipped().Flags("AQPPVT", 10, 0.25799), 0);
    EXPECT_EQ(Shipped().Flags("AQPPQH", 10, 0.5), 0);
    EXPECT_EQ(Shipped().Flags("AQPPT", 10), 0);
}

TEST(StateFlags, NextToTheInterpolatedSaturationLine) {
    const double ts = Shipped().lib.Answer(Shipped().lib.AQPPT(10));
    EXPECT_TRUE(Shipped().Flags("AQPPTH", 10, ts + 0.005) & kNear);
    EXPECT_TRUE(Shipped().Flags("AQPPTH", 10, ts - 0.005) & kNear);
    EXPECT_FALSE(Shipped().Flags("AQPPTH", 10, ts + 2) & kNear);
}

TEST(StateFlags, AroundTheCriticalPoint) {
    EXPECT_TRUE(Shipped().Flags("AQPPTH", 221, 373) & kCritical);
    EXPECT_TRUE(Shipped().Flags("AQPPTV", 230, 380) & kCritical);
    EXPECT_TRUE(Shipped().Flags("AQPPHT", 225, 2100) & kCritical);
    EXPECT_TRUE(Shipped().Flags("AQPTP", 374) & kCritical);
    EXPECT_FALSE(Shipped().Flags("AQPPTH", 100, 373) & kCritical);
    EXPECT_FALSE(Shipped().Flags("AQPPTH", 221, 450) & kCritical);
}

TEST(StateFlags, CoarseGridForLowPressureSteamVolumeButNotItsEnthalpy) {
    // Volume goes as 1/p: between the isobars 0.01 and 0.02 bar a linear
    // interpolation is off by several per cent; enthalpy hardly depends on p.
    EXPECT_TRUE(Shipped().Flags("AQPPTV", 0.015, 500) & kCoarse);
    EXPECT_EQ(Shipped().Flags("AQPPTH", 0.015, 500), 0);
    EXPECT_TRUE(Shipped().Flags("AQPPVT", 0.015, 270) & kCoarse);  // about 500 C
    EXPECT_TRUE(Shipped().Flags("AQPPQV", 0.0125, 0.6) & kCoarse);
    EXPECT_EQ(Shipped().Flags("AQPPTV", 50, 500), 0);
}

TEST(StateFlags, CoarseGridWhereColdWaterVolumeDoesNotDecideTheTemperature) {
    // Between 0 and 10 C water's volume falls to its minimum near 4 C and
    // rises again: one volume stands for two temperatures.
    const double v = Shipped().lib.Answer(Shipped().lib.AQPPTV(1, 8));
    ASSERT_GT(Shipped().lib.Answer(Shipped().lib.AQPPVT(1, v)), 0);
    EXPECT_TRUE(Shipped().Flags("AQPPVT", 1, v) & kCoarse);
    // Entered by enthalpy, the same state is not ambiguous.
    const double h = Shipped().lib.Answer(Shipped().lib.AQPPTH(1, 8));
    EXPECT_FALSE(Shipped().Flags("AQPPHT", 1, h) & kCoarse);
}

TEST(StateFlags, WetSteamInheritsTheUncertaintyOfItsSaturatedKeys) {
    // At 0.0122 bar the saturated vapour's volume is interpolated several
    // per cent off: the quality from a volume, and the enthalpy from that
    // quality, carry the error; at 10 bar they do not.
    EXPECT_TRUE(Shipped().Flags("AQPPVQ", 0.0122, 60) & kCoarse);
    EXPECT_TRUE(Shipped().Flags("AQPPVH", 0.0122, 60) & kCoarse);
    EXPECT_EQ(Shipped().Flags("AQPPVH", 10, 0.1), 0);
    EXPECT_EQ(Shipped().Flags("AQPPHQ", 10, 1500), 0);
}

TEST(StateFlags, AboveTheCriticalPressureTheQualityIsUncertainNearTheCriticalKey) {
    // The quality says on which side of a fixed critical entropy the state
    // lies; near it the saturated entropies just below the critical
    // pressure still differ.
    EXPECT_TRUE(Shipped().Flags("AQPPSQ", 832, 4.41587) & kCritical);
    EXPECT_EQ(Shipped().Flags("AQPPSQ", 832, 6), 0);
    EXPECT_EQ(Shipped().Flags("AQPPST", 832, 4.41587) & kCritical, 0);
}

// A call's memo, and the one a thread keeps with kept tables, answer the
// rows of cells known to be quiet from that alone: those rows' flags must
// be what each row's own single call works out. Rows from a few hundred
// cells, each reached many times, by pressure and temperature and by the
// inverse keys, over two calls, with the files read per call and kept.
class FlagsOfManyRows : public ::testing::TestWithParam<int> {};

TEST_P(FlagsOfManyRows, InCellsKnownQuietAreThoseOfTheirSingleCalls) {
    const auto open = Shipped().lib.Symbol<decltype(&::RudidOpen)>("RudidOpen");
    const auto evaluate = Shipped().lib.Symbol<decltype(&::RudidContextEvaluate)>("RudidContextEvaluate");
    RudidContext *kept = open(nullptr, nullptr, GetParam() | RUDID_TABLE);
    ASSERT_NE(kept, nullptr);
    std::vector<double> p, t;
    for (int cell = 0; cell < 400; ++cell)
        for (int row = 0; row < 8; ++row) {
            p.push_back(0.02 * std::pow(1.027, cell % 400) * (1 + 0.003 * row));
            t.push_back(5 + 1.97 * cell + 1.1 * row);
        }
    // Every cell of three pairs of isobars.
    for (const double pressure : {1.5, 37.0, 420.0})
        for (int row = 0; row < 275; ++row) p.push_back(pressure), t.push_back(1 + 2.9 * row);
    const std::size_t n = p.size();
    std::vector<double> key(n), answer(n);
    std::vector<int> failure(n), flags(n);
    for (const char *property : {"H", "S", "V"}) {
        const std::string byTemperature = std::string("AQPPT") + property;
        ASSERT_GE(evaluate(kept, byTemperature.c_str(), 0, n, p.data(), t.data(), key.data(), failure.data(), nullptr), 0);
        std::vector<std::pair<std::string, const std::vector<double> *>> names{{byTemperature, &t}};
        for (const char *output : {"T", "H", "S", "V"})
            if (*output != *property) names.push_back({std::string("AQPP") + property + output, &key});
        for (const auto &[name, second] : names) {
            for (int call = 0; call < 2; ++call)
                evaluate(kept, name.c_str(), 0, n, p.data(), second->data(), answer.data(), failure.data(), flags.data());
            for (std::size_t i = 0; i < n; ++i)
                ASSERT_EQ(flags[i], Shipped().Flags(name.c_str(), p[i], (*second)[i])) << name << " row " << i;
        }
    }
    Shipped().lib.Symbol<decltype(&::RudidClose)>("RudidClose")(kept);
}

INSTANTIATE_TEST_SUITE_P(StateFlags, FlagsOfManyRows, ::testing::Values(RUDID_KEEP_TABLES, RUDID_READ_FILES));

TEST(StateFlags, UnknownNamesAreRefusedAsInBatchEvaluation) {
    EXPECT_EQ(Shipped().Flags("AQPPXX", 1, 100), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(Shipped().Flags("", 1, 100), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(Shipped().Flags(nullptr, 1, 100), RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(Shipped().Flags("RudidStateFlags", 1, 100), RUDID_UNKNOWN_FUNCTION);
}

TEST(StateFlags, StatesWithoutAnAnswerHaveNoFlags) {
    EXPECT_EQ(Shipped().Flags("AQPPTH", 2000, 300), 0);   // -1001
    EXPECT_EQ(Shipped().Flags("AQPPTH", 1, 900), 0);      // -1002
    EXPECT_EQ(Shipped().Flags("AQPPQH", 1, 1.5), 0);      // -1003
    EXPECT_EQ(Shipped().Flags("AQPPT", 300), 0);          // -1004
    EXPECT_EQ(Shipped().Flags("AQPPHT", 1, 9000), 0);     // -1014
    const double ts = Shipped().lib.Answer(Shipped().lib.AQPPT(1.01325));
    ASSERT_EQ(Shipped().lib.Answer(Shipped().lib.AQPPTH(1.01325, ts)), -1015.0);
    EXPECT_EQ(Shipped().Flags("AQPPTH", 1.01325, ts), 0);
    // Failures: arguments the six-byte reals cannot hold.
    EXPECT_EQ(Shipped().Flags("AQPPTH", std::numeric_limits<double>::quiet_NaN(), 100), 0);
    EXPECT_EQ(Shipped().Flags("AQPPHT", 1, std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(Shipped().Flags("AQPPT", 1e39), 0);
}

TEST(StateFlags, AMissingTableGivesNoFlagsAndRaisesNothing) {
    InstanceSetup setup = ShippedSetup();
    setup.singlePhase.reset();
    const FlaggingLibrary missing(setup);
    EXPECT_EQ(missing.Flags("AQPPTH", 1.01325, 101), 0);
    EXPECT_EQ(missing.Flags("AQPPHT", 1.01325, 2677.66), 0);
    // The saturation line needs only its own table.
    EXPECT_TRUE(missing.Flags("AQPPQV", 0.0125, 0.6) & kCoarse);
}

TEST(StateFlags, ATableCutShortStillFlagsTheStatesItAnswers) {
    // Without the record of 221.2 bar the call at 219 bar still answers
    // from the records of 218 and 220 bar; the missing neighbour only
    // sharpens an estimate and must not take the flags away.
    InstanceSetup setup = ShippedSetup();
    setup.saturationByPressure->resize(setup.saturationByPressure->size() - 28);
    const FlaggingLibrary cut(setup);
    ASSERT_NE(cut.lib.AQPPQH(219, 0.5), nullptr);
    EXPECT_TRUE(cut.Flags("AQPPQH", 219, 0.5) & kCritical);
    EXPECT_EQ(cut.Flags("AQPPQH", 221.1, 0.5), 0);  // the call fails: no record above
}

TEST(StateFlags, TheLastErrorIsLeftAsTheLastPropertyCallSetIt) {
    const LibraryInstance &lib = Shipped().lib;
    EXPECT_EQ(lib.AQPPT(1e39), nullptr);
    ASSERT_EQ(lib.RudidLastError(), RUDID_FLOATING_POINT_OVERFLOW);
    EXPECT_NE(Shipped().Flags("AQPPTH", 1.01325, 101), 0);
    EXPECT_EQ(Shipped().Flags("AQPPTH", 1e39, 101), 0);
    EXPECT_EQ(lib.RudidLastError(), RUDID_FLOATING_POINT_OVERFLOW);

    ASSERT_NE(lib.AQPPT(10), nullptr);
    ASSERT_EQ(lib.RudidLastError(), 0);
    EXPECT_EQ(Shipped().Flags("AQPPTH", 1e39, 101), 0);
    EXPECT_EQ(lib.RudidLastError(), 0);
}

TEST(StateFlags, ArgumentsAreTakenInTheConfiguredUnits) {
    // psi, Btu/lbm, F, Btu/lbm,F, ft3/lbm
    const FlaggingLibrary imperial(ShippedSetup(UnitChoice{10, 3, 2, 3, 4}));
    const double psi = 14.503773773;  // per bar
    EXPECT_TRUE(imperial.Flags("AQPPTH", 1.01325 * psi, 101 * 1.8 + 32) & kMixed);
    EXPECT_EQ(imperial.Flags("AQPPTH", 10 * psi, 300 * 1.8 + 32), 0);
    // 1000 F is within the tables in F, 1000 C would not be.
    EXPECT_EQ(imperial.Flags("AQPPTH", 10 * psi, 1000), 0);
    EXPECT_NE(imperial.lib.Answer(imperial.lib.AQPPTH(10 * psi, 1000)), -1002.0);
}


TEST(StateFlags, TheHostsControlWordIsRestoredAndDoesNotChangeTheAnswer) {
    const int expected[] = {Shipped().Flags("AQPPTH", 1.01325, 101), Shipped().Flags("AQPPTV", 0.015, 500),
                            Shipped().Flags("AQPPTH", 10, 300)};
    // 53-bit significand; rounding toward zero; invalid, zero divide and
    // overflow unmasked.
    for (std::uint16_t word : {std::uint16_t(0x027F), std::uint16_t(0x0F7F), std::uint16_t(0x0372)}) {
        SCOPED_TRACE(::testing::Message() << std::hex << word);
        HostControlWord host(word);
        const int seen[] = {Shipped().Flags("AQPPTH", 1.01325, 101), Shipped().Flags("AQPPTV", 0.015, 500),
                            Shipped().Flags("AQPPTH", 10, 300), Shipped().Flags("AQPPT", 1e39)};
        EXPECT_EQ(ReadControlWord(), word);
        EXPECT_EQ(ReadStatusWord() & ~word & 0x3F, 0) << "an unmasked exception is pending";
        for (int i = 0; i < 3; ++i) EXPECT_EQ(seen[i], expected[i]) << "state " << i;
        EXPECT_EQ(seen[3], 0);
    }
}

}  // namespace
}  // namespace rudid::testing
