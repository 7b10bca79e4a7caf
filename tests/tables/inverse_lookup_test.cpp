#include "support/real48_bytes.h"
#include "tables/inverse_lookup.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "common/failure.h"
#include "common/interpolation.h"
#include "support/real48_interpolation.h"
#include "tables/saturation_state.h"
#include "tables/pressure_grids.h"

namespace rudid {
namespace {

using testing::ScratchDirectory;
using testing::SingleAt;
using Bytes = testing::Real48Bytes;
using testing::BytesOf;
using testing::InterpolateBilinear;
using testing::InterpolateLinear;

Real48 R(Extended v) { return ExtendedToReal48(v); }
Real48 W(int n) { return R(Extended(n)); }
Extended X(Real48 r) { return Real48ToExtended(r); }

// The lookups with every output asked for, on Real48 arguments and results:
// 0 and the state, or 1 and the state untouched.
struct InverseState {
    Real48 temperature;
    Real48 second;
    Real48 third;
    Real48 quality;
};

int LookupAll(InverseKey key, const TableSource &tables, Real48 p, Real48 k, InverseState *state) {
    InverseValues values;
    if (!LookupInverse(tables, key, X(p), X(k), kWantAllOutputs, &values)) return 1;
    *state = {R(values.temperature), R(values.second), R(values.third), R(values.quality)};
    return 0;
}
int LookupPH(const TableSource &t, Real48 p, Real48 h, InverseState *s) { return LookupAll(InverseKey::Enthalpy, t, p, h, s); }
int LookupPS(const TableSource &t, Real48 p, Real48 k, InverseState *s) { return LookupAll(InverseKey::Entropy, t, p, k, s); }
int LookupPV(const TableSource &t, Real48 p, Real48 v, InverseState *s) { return LookupAll(InverseKey::Volume, t, p, v, s); }

const Bytes kZeroBytes = {0, 0, 0, 0, 0, 0};
const Bytes kOneBytes = {0x81, 0, 0, 0, 0, 0};

// The neighbouring Real48 values of a positive one.
Real48 NextUp(Real48 r) {
    for (int i = 1; i <= 5; ++i)
        if (++r.bytes[i] != 0) break;
    return r;
}
Real48 NextDown(Real48 r) {
    for (int i = 1; i <= 5; ++i)
        if (r.bytes[i]-- != 0) break;
    return r;
}

// What tells the three lookups apart: the key's column in an entry and its
// saturation pair, then the same for the second and the third output.
struct Variant {
    const char *name;
    int (*lookup)(const TableSource &, Real48, Real48, InverseState *);
    int keyColumn, keyLiquid, keyVapour;
    int secondColumn, secondLiquid, secondVapour;
    int thirdColumn, thirdLiquid, thirdVapour;
    Extended criticalKey;
};

const Variant kVariants[] = {
    {"PH", &LookupPH, 1, kLiquidEnthalpy, kVapourEnthalpy, 0, kLiquidVolume, kVapourVolume, 2,
     kLiquidEntropy, kVapourEntropy, 2107.4L},
    {"PS", &LookupPS, 2, kLiquidEntropy, kVapourEntropy, 0, kLiquidVolume, kVapourVolume, 1,
     kLiquidEnthalpy, kVapourEnthalpy, 4.4429L},
    {"PV", &LookupPV, 0, kLiquidVolume, kVapourVolume, 1, kLiquidEnthalpy, kVapourEnthalpy, 2,
     kLiquidEntropy, kVapourEntropy, 0.00317L},
};

void PrintTo(const Variant &v, std::ostream *out) { *out << "Lookup" << v.name; }

// Single-phase grid indices and saturation records of the pressures used.
constexpr int kIsobarAt1Bar = 40, kRecordAt1Bar = 55, kIsobarAt300Bar = 185, kIsobarAt1000Bar = 224;

constexpr std::uint8_t kUntouched = 0x5A;

InverseState Untouched() {
    InverseState s;
    std::memset(&s, kUntouched, sizeof s);
    return s;
}

void ExpectUntouched(const InverseState &s) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&s);
    for (std::size_t i = 0; i < sizeof s; ++i) ASSERT_EQ(bytes[i], kUntouched) << "byte " << i;
}

class InverseLookupTest : public ::testing::TestWithParam<Variant> {
protected:
    void SetUp() override {
        saturation_ = testing::SaturationByPressureTable();
        singlePhase_ = testing::SinglePhaseTableVaryingAboveCritical();
        dir_.write("zarude.dat", saturation_);
        dir_.write("didizar.dat", singlePhase_);
    }

    const Variant &V() const { return GetParam(); }

    // Runs the lookup; returns its flag, or the failure code + 1000.
    int Lookup(Real48 p, Real48 key, InverseState *state) {
        try {
            return V().lookup(FileTableSource(prefix_.c_str()), p, key, state);
        } catch (const LibraryFailure &f) {
            return 1000 + f.code;
        }
    }
    InverseState Answer(Real48 p, Real48 key) {
        InverseState state = Untouched();
        EXPECT_EQ(Lookup(p, key, &state), 0) << "key " << double(X(key));
        return state;
    }

    Real48 Saturated(int record, int field) const {
        return R(SingleAt(saturation_, 7 * record + field));
    }
    Real48 EntryValue(int isobar, int entry, int column) const {
        return R(SingleAt(singlePhase_, 3 * (std::size_t(isobar - 1) * 81 + entry) + column));
    }
    Real48 Key(int isobar, int entry) const { return EntryValue(isobar, entry, V().keyColumn); }

    // The state of entry `entry` of an isobar, as the lookup gives it.
    void ExpectEntry(const InverseState &s, int isobar, int entry) {
        EXPECT_EQ(BytesOf(s.temperature), BytesOf(W(10 * entry))) << "temperature";
        EXPECT_EQ(BytesOf(s.second), BytesOf(EntryValue(isobar, entry, V().secondColumn))) << "second";
        EXPECT_EQ(BytesOf(s.third), BytesOf(EntryValue(isobar, entry, V().thirdColumn))) << "third";
    }

    // The two-phase state of key at saturation record `record`, by the lever
    // rule with the quality rounded first.
    void ExpectMixture(const InverseState &s, int record, Real48 key) {
        const Extended kf = X(Saturated(record, V().keyLiquid)), kg = X(Saturated(record, V().keyVapour));
        const Real48 quality = R((X(key) - kf) / (kg - kf));
        const Extended x = X(quality);
        auto mix = [&](int liquid, int vapour) {
            return R((1 - x) * X(Saturated(record, liquid)) + x * X(Saturated(record, vapour)));
        };
        EXPECT_EQ(BytesOf(s.quality), BytesOf(quality)) << "quality";
        EXPECT_EQ(BytesOf(s.temperature), BytesOf(Saturated(record, kSaturationLevel))) << "temperature";
        EXPECT_EQ(BytesOf(s.second), BytesOf(mix(V().secondLiquid, V().secondVapour))) << "second";
        EXPECT_EQ(BytesOf(s.third), BytesOf(mix(V().thirdLiquid, V().thirdVapour))) << "third";
    }

    ScratchDirectory dir_;
    std::string prefix_ = dir_.prefix();
    std::vector<std::uint8_t> saturation_, singlePhase_;
};

TEST_P(InverseLookupTest, TwoPhaseKeyGivesTheSaturationTemperatureAndTheLeverRule) {
    // Two-phase states never need the single-phase table.
    std::remove(dir_.file("didizar.dat").c_str());
    const Extended kf = X(Saturated(kRecordAt1Bar, V().keyLiquid));
    const Extended kg = X(Saturated(kRecordAt1Bar, V().keyVapour));
    for (Extended w : {0.3L, 0.5L, 0.999L}) {
        SCOPED_TRACE(double(w));
        const Real48 key = R(kf + w * (kg - kf));
        ExpectMixture(Answer(W(1), key), kRecordAt1Bar, key);
    }
}

TEST_P(InverseLookupTest, SaturatedLiquidAndVapourKeysGiveQualityZeroAndOne) {
    std::remove(dir_.file("didizar.dat").c_str());
    const Real48 ts = Saturated(kRecordAt1Bar, kSaturationLevel);

    const InverseState liquid = Answer(W(1), Saturated(kRecordAt1Bar, V().keyLiquid));
    EXPECT_EQ(BytesOf(liquid.quality), kZeroBytes);
    EXPECT_EQ(BytesOf(liquid.temperature), BytesOf(ts));
    EXPECT_EQ(BytesOf(liquid.second), BytesOf(Saturated(kRecordAt1Bar, V().secondLiquid)));
    EXPECT_EQ(BytesOf(liquid.third), BytesOf(Saturated(kRecordAt1Bar, V().thirdLiquid)));

    const InverseState vapour = Answer(W(1), Saturated(kRecordAt1Bar, V().keyVapour));
    EXPECT_EQ(BytesOf(vapour.quality), kOneBytes);
    EXPECT_EQ(BytesOf(vapour.temperature), BytesOf(ts));
    EXPECT_EQ(BytesOf(vapour.second), BytesOf(Saturated(kRecordAt1Bar, V().secondVapour)));
    EXPECT_EQ(BytesOf(vapour.third), BytesOf(Saturated(kRecordAt1Bar, V().thirdVapour)));
}

TEST_P(InverseLookupTest, StraddlingIntervalInterpolatesFromTheSaturatedStateOnEachSide) {
    // At 1 bar the saturation temperature (about 97 degC) lies between
    // entries 9 (liquid) and 10 (vapour).
    const Real48 ts = Saturated(kRecordAt1Bar, kSaturationLevel);
    const Real48 kf = Saturated(kRecordAt1Bar, V().keyLiquid), kg = Saturated(kRecordAt1Bar, V().keyVapour);
    const Real48 k9 = Key(kIsobarAt1Bar, 9), k10 = Key(kIsobarAt1Bar, 10);
    ASSERT_LT(X(k9), X(kf));
    ASSERT_GT(X(k10), X(kg));

    const Real48 vapourKey = R((X(kg) + X(k10)) / 2);
    const InverseState vapour = Answer(W(1), vapourKey);
    EXPECT_EQ(BytesOf(vapour.quality), kOneBytes);
    EXPECT_GT(X(vapour.temperature), X(ts));
    EXPECT_LT(X(vapour.temperature), 100);
    EXPECT_EQ(BytesOf(vapour.temperature), BytesOf(InterpolateLinear(vapourKey, kg, k10, ts, W(100))));
    EXPECT_EQ(BytesOf(vapour.second),
              BytesOf(InterpolateLinear(vapourKey, kg, k10, Saturated(kRecordAt1Bar, V().secondVapour),
                                        EntryValue(kIsobarAt1Bar, 10, V().secondColumn))));

    const Real48 liquidKey = R((X(k9) + X(kf)) / 2);
    const InverseState liquid = Answer(W(1), liquidKey);
    EXPECT_EQ(BytesOf(liquid.quality), kZeroBytes);
    EXPECT_GT(X(liquid.temperature), 90);
    EXPECT_LT(X(liquid.temperature), X(ts));
    EXPECT_EQ(BytesOf(liquid.temperature), BytesOf(InterpolateLinear(liquidKey, k9, kf, W(90), ts)));
    EXPECT_EQ(BytesOf(liquid.third),
              BytesOf(InterpolateLinear(liquidKey, k9, kf, EntryValue(kIsobarAt1Bar, 9, V().thirdColumn),
                                        Saturated(kRecordAt1Bar, V().thirdLiquid))));
}

TEST_P(InverseLookupTest, EntryKeysGiveTheirGridTemperatureAndValues) {
    ExpectEntry(Answer(W(1), Key(kIsobarAt1Bar, 0)), kIsobarAt1Bar, 0);
    ExpectEntry(Answer(W(1), Key(kIsobarAt1Bar, 5)), kIsobarAt1Bar, 5);
    ExpectEntry(Answer(W(1), Key(kIsobarAt1Bar, 30)), kIsobarAt1Bar, 30);
    ExpectEntry(Answer(W(1), Key(kIsobarAt1Bar, 80)), kIsobarAt1Bar, 80);
    ExpectEntry(Answer(W(300), Key(kIsobarAt300Bar, 0)), kIsobarAt300Bar, 0);
    ExpectEntry(Answer(W(300), Key(kIsobarAt300Bar, 80)), kIsobarAt300Bar, 80);
}

TEST_P(InverseLookupTest, SinglePhaseQualityIsZeroOnTheLiquidSideAndOneOnTheVapourSide) {
    EXPECT_EQ(BytesOf(Answer(W(1), Key(kIsobarAt1Bar, 5)).quality), kZeroBytes);
    EXPECT_EQ(BytesOf(Answer(W(1), Key(kIsobarAt1Bar, 30)).quality), kOneBytes);
}

TEST_P(InverseLookupTest, KeyJustOutsideTheIsobarIsRefusedAndWritesNothing) {
    for (int pressure : {1, 300}) {
        const int isobar = pressure == 1 ? kIsobarAt1Bar : kIsobarAt300Bar;
        const Real48 low = Key(isobar, 0), high = Key(isobar, 80);
        // Below entry 0 (0 itself for the enthalpy at 1 bar) and above entry 80.
        const Real48 belowLow = IsZero(low) ? R(-1e-30L) : NextDown(low);
        for (Real48 key : {belowLow, NextUp(high)}) {
            SCOPED_TRACE(double(X(key)));
            InverseState state = Untouched();
            EXPECT_EQ(Lookup(W(pressure), key, &state), 1);
            ExpectUntouched(state);
        }
    }
}

TEST_P(InverseLookupTest, TopPressureIsAnsweredAsJustBelowIt) {
    const Real48 justBelow1000 = R(999.999L);
    ASSERT_EQ(BytesOf(justBelow1000), (Bytes{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x79}));
    for (int entry : {0, 33, 79}) {
        const Real48 key = R((X(Key(kIsobarAt1000Bar, entry)) + X(Key(kIsobarAt1000Bar, entry + 1))) / 2);
        const InverseState atTop = Answer(W(1000), key);
        const InverseState inside = Answer(justBelow1000, key);
        EXPECT_EQ(std::memcmp(&atTop, &inside, sizeof atTop), 0) << "entry " << entry;
    }
}

TEST_P(InverseLookupTest, AboveTheCriticalPressureTheCriticalKeyDecidesTheQuality) {
    // This path never reads the saturation table.
    std::remove(dir_.file("zarude.dat").c_str());
    Real48 below = R(V().criticalKey), above = below;
    if (X(below) > V().criticalKey)
        below = NextDown(below);
    else
        above = NextUp(above);
    ASSERT_LT(X(below), V().criticalKey);
    ASSERT_GT(X(above), V().criticalKey);

    for (Real48 p : {W(300), NextUp(R(221.2L)), W(1000)}) {
        SCOPED_TRACE(double(X(p)));
        const InverseState liquidLike = Answer(p, below);
        const InverseState vapourLike = Answer(p, above);
        EXPECT_EQ(BytesOf(liquidLike.quality), kZeroBytes);
        EXPECT_EQ(BytesOf(vapourLike.quality), kOneBytes);
        EXPECT_LE(X(liquidLike.temperature), X(vapourLike.temperature));
    }
    EXPECT_EQ(BytesOf(Answer(W(300), Key(kIsobarAt300Bar, 0)).quality), kZeroBytes);
    EXPECT_EQ(BytesOf(Answer(W(300), Key(kIsobarAt300Bar, 80)).quality), kOneBytes);
}

TEST_P(InverseLookupTest, CriticalPressureTakesTheSaturationPath) {
    std::remove(dir_.file("zarude.dat").c_str());
    InverseState state = Untouched();
    EXPECT_EQ(Lookup(R(221.2L), Key(kIsobarAt300Bar, 40), &state), 1000 + kFileNotFound);
    ExpectUntouched(state);
}

TEST_P(InverseLookupTest, KeyAtTheCriticalPointIsTheSaturatedStateWithQualityZero) {
    saturation_ = testing::SaturationByPressureTableWithCriticalPoint();
    dir_.write("zarude.dat", saturation_);
    std::remove(dir_.file("didizar.dat").c_str());
    const Real48 key = Saturated(291, V().keyLiquid);
    ASSERT_EQ(BytesOf(key), BytesOf(Saturated(291, V().keyVapour)));

    const InverseState state = Answer(R(221.2L), key);
    EXPECT_EQ(BytesOf(state.quality), kZeroBytes);
    EXPECT_EQ(BytesOf(state.temperature), BytesOf(Saturated(291, kSaturationLevel)));
    EXPECT_EQ(BytesOf(state.second), BytesOf(Saturated(291, V().secondLiquid)));
    EXPECT_EQ(BytesOf(state.third), BytesOf(Saturated(291, V().thirdLiquid)));
}

TEST_P(InverseLookupTest, MissingOrShortSinglePhaseTableFailsAndWritesNothing) {
    const Real48 key = Key(kIsobarAt1Bar, 30);  // superheated at 1 bar
    std::remove(dir_.file("didizar.dat").c_str());
    InverseState state = Untouched();
    EXPECT_EQ(Lookup(W(1), key, &state), 1000 + kFileNotFound);
    ExpectUntouched(state);

    // Isobars 1..40 end at 1 bar, and 1 bar needs isobar 41 too.
    singlePhase_ = testing::SinglePhaseTableVaryingAboveCritical(40);
    dir_.write("didizar.dat", singlePhase_);
    EXPECT_EQ(Lookup(R(0.99L), key, &state), 0);
    state = Untouched();
    EXPECT_EQ(Lookup(W(1), key, &state), 1000 + kReadBeyondEndOfFile);
    ExpectUntouched(state);
}

INSTANTIATE_TEST_SUITE_P(ByKey, InverseLookupTest, ::testing::ValuesIn(kVariants),
                         [](const ::testing::TestParamInfo<Variant> &info) { return std::string(info.param.name); });

// The specific critical-point cases: the Real48 nearest to 2107.4 kJ/kg lies
// below the extended constant (liquid-like); the one nearest to 0.00317 m3/kg
// lies above it (vapour-like).
TEST(InverseLookupAboveCriticalPressure, NamedCriticalKeysGiveTheirQuality) {
    ScratchDirectory dir;
    dir.write("didizar.dat", testing::SinglePhaseTableVaryingAboveCritical());
    const std::string prefix = dir.prefix();
    const TableSource source = FileTableSource(prefix.c_str());
    InverseState state;
    ASSERT_EQ(LookupPH(source, W(300), R(2107.4L), &state), 0);
    EXPECT_EQ(BytesOf(state.quality), kZeroBytes);
    ASSERT_EQ(LookupPV(source, W(300), R(0.00317L), &state), 0);
    EXPECT_EQ(BytesOf(state.quality), kOneBytes);
}

// The working isobar at a pressure between two grid points is held in single
// precision, as the table is; the keys and temperatures come from it.
TEST(InverseLookupWorkingIsobar, IsInterpolatedInPressureAndHeldAsSingles) {
    ScratchDirectory dir;
    const std::vector<std::uint8_t> table = testing::SinglePhaseTableVaryingAboveCritical();
    dir.write("didizar.dat", table);
    const std::string prefix = dir.prefix();
    const Real48 p = W(510);  // between 500 (isobar 205) and 520 (isobar 206)
    auto working = [&](int entry, int column) {
        const std::size_t a = 3 * (std::size_t(204) * 81 + entry) + column;
        const std::size_t b = a + 3 * 81;
        const Real48 r = InterpolateLinear(p, W(500), W(520), R(SingleAt(table, a)),
                                           R(SingleAt(table, b)));
        return R(float(X(r)));
    };
    // An enthalpy a quarter of the way from entry 40 to entry 41.
    const Real48 h40 = working(40, 1), h41 = working(41, 1);
    const Real48 h = R(X(h40) + (X(h41) - X(h40)) / 4);
    InverseState state;
    ASSERT_EQ(LookupPH(FileTableSource(prefix.c_str()), p, h, &state), 0);
    EXPECT_EQ(BytesOf(state.temperature), BytesOf(InterpolateLinear(h, h40, h41, W(400), W(410))));
    EXPECT_EQ(BytesOf(state.second), BytesOf(InterpolateLinear(h, h40, h41, working(40, 0), working(41, 0))));
    EXPECT_EQ(BytesOf(state.third), BytesOf(InterpolateLinear(h, h40, h41, working(40, 2), working(41, 2))));
}

// didizar.dat with one value of the 300 bar isobar (185) replaced.
class InverseLookupEditedIsobar : public ::testing::Test {
protected:
    void SetUp() override { dir_.write("didizar.dat", table_); }
    void Edit(int entry, int column, float value) {
        std::memcpy(table_.data() + 4 * (3 * (std::size_t(kIsobarAt300Bar - 1) * 81 + entry) + column), &value, 4);
        dir_.write("didizar.dat", table_);
    }
    Real48 Stored(int entry, int column) const {
        return R(SingleAt(table_, 3 * (std::size_t(kIsobarAt300Bar - 1) * 81 + entry) + column));
    }
    int LookupH(Real48 h, InverseState *state) {
        try {
            return LookupPH(FileTableSource(prefix_.c_str()), W(300), h, state);
        } catch (const LibraryFailure &f) {
            return 1000 + f.code;
        }
    }

    ScratchDirectory dir_;
    std::string prefix_ = dir_.prefix();
    std::vector<std::uint8_t> table_ = testing::SinglePhaseTableVaryingAboveCritical();
};

TEST_F(InverseLookupEditedIsobar, WhereTheKeyColumnFallsTheFirstEntryAboveTheKeyDecides) {
    // Enthalpies 770, 790, then 780 at 20 degC, then rising again: 785 lies
    // in the first interval, although a later one holds it too.
    Edit(2, 1, 780.0f);
    const Real48 h0 = Stored(0, 1), h1 = Stored(1, 1);
    ASSERT_EQ(X(h0), 770);
    ASSERT_EQ(X(h1), 790);
    const Real48 h = W(785);
    InverseState state;
    ASSERT_EQ(LookupH(h, &state), 0);
    EXPECT_EQ(BytesOf(state.temperature), BytesOf(R(7.5L)));
    EXPECT_EQ(BytesOf(state.second), BytesOf(InterpolateLinear(h, h0, h1, Stored(0, 0), Stored(1, 0))));
    EXPECT_EQ(BytesOf(state.third), BytesOf(InterpolateLinear(h, h0, h1, Stored(0, 2), Stored(1, 2))));
}

// A source that remembers facts about isobar pairs (a batch, the kept
// tables) keeps them per column: that the entropy column rises says nothing
// about the enthalpy column of the same pair.
TEST_F(InverseLookupEditedIsobar, WhatASourceRemembersOfOneKeyColumnDoesNotDecideForAnother) {
    Edit(2, 1, 780.0f);
    std::uint8_t facts[kSinglePhaseGridPoints + 1] = {};
    TableSource tables = FileTableSource(prefix_.c_str());
    tables.isobarPairFacts = facts;
    InverseState state;
    ASSERT_EQ(LookupPS(tables, W(300), R((X(Stored(30, 2)) + X(Stored(31, 2))) / 2), &state), 0);
    ASSERT_EQ(LookupPH(tables, W(300), W(785), &state), 0);
    EXPECT_EQ(BytesOf(state.temperature), BytesOf(R(7.5L)));
    // And the other way round, on a fresh memory.
    std::uint8_t fresh[kSinglePhaseGridPoints + 1] = {};
    tables.isobarPairFacts = fresh;
    ASSERT_EQ(LookupPH(tables, W(300), W(785), &state), 0);
    const Real48 s = R((X(Stored(30, 2)) + X(Stored(31, 2))) / 2);
    ASSERT_EQ(LookupPS(tables, W(300), s, &state), 0);
    EXPECT_EQ(BytesOf(state.temperature), BytesOf(InterpolateLinear(s, Stored(30, 2), Stored(31, 2), W(300), W(310))));
}

TEST_F(InverseLookupEditedIsobar, ValueOutsideTheReal48RangeFailsEvenWhereTheKeyDoesNotNeedIt) {
    // The whole working isobar is interpolated, so an entropy at 700 degC
    // that no Real48 holds fails a lookup near 50 degC.
    const Real48 h = R((X(Stored(5, 1)) + X(Stored(6, 1))) / 2);
    InverseState state;
    ASSERT_EQ(LookupH(h, &state), 0);
    for (float bad : {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 3e38f}) {
        SCOPED_TRACE(bad);
        Edit(70, 2, bad);
        state = Untouched();
        EXPECT_EQ(LookupH(h, &state), 1000 + kFloatingPointOverflow);
        ExpectUntouched(state);
    }
}

}  // namespace
}  // namespace rudid
