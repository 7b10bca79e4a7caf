#include "support/real48_bytes.h"
#include "tables/lookup_pt.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/test_files.h"
#include "common/failure.h"
#include "common/interpolation.h"
#include "support/real48_interpolation.h"
#include "tables/saturation_by_pressure.h"

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

// The lookup with every output asked for, on Real48 arguments and results:
// 0 and the state, or 1 and the state untouched.
struct SinglePhaseState {
    Real48 volume;
    Real48 enthalpy;
    Real48 entropy;
};

int LookupPTAll(const TableSource &tables, Real48 p, Real48 t, SinglePhaseState *state) {
    SinglePhaseValues values;
    if (!LookupPT(tables, Real48ToExtended(p), Real48ToExtended(t), kWantAllProperties, &values)) return 1;
    *state = {R(values.volume), R(values.enthalpy), R(values.entropy)};
    return 0;
}

// The next Real48 away from zero (positive values with a fraction below
// all ones).
Real48 NextUp(Real48 r) {
    for (int i = 1; i <= 5; ++i)
        if (++r.bytes[i] != 0) break;
    return r;
}

// Single-phase grid indices of the pressures used below.
constexpr int kAt1Bar = 40, kAt1_1Bar = 41, kAt20Bar = 100, kAt50Bar = 130, kAt220Bar = 177,
              kAt230Bar = 178, kAt500Bar = 205, kAt520Bar = 206, kAt1000Bar = 224;

constexpr std::uint8_t kUntouched = 0x5A;

SinglePhaseState Untouched() {
    SinglePhaseState s;
    std::memset(&s, kUntouched, sizeof s);
    return s;
}

void ExpectUntouched(const SinglePhaseState &s) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&s);
    for (std::size_t i = 0; i < sizeof s; ++i) ASSERT_EQ(bytes[i], kUntouched) << "byte " << i;
}

void ExpectState(const SinglePhaseState &actual, const SinglePhaseState &expected) {
    EXPECT_EQ(BytesOf(actual.volume), BytesOf(expected.volume)) << "volume";
    EXPECT_EQ(BytesOf(actual.enthalpy), BytesOf(expected.enthalpy)) << "enthalpy";
    EXPECT_EQ(BytesOf(actual.entropy), BytesOf(expected.entropy)) << "entropy";
}

bool SameState(const SinglePhaseState &a, const SinglePhaseState &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class LookupPTTest : public ::testing::Test {
protected:
    void SetUp() override {
        saturation_ = testing::SaturationByPressureTable();
        singlePhase_ = testing::SinglePhaseTableVaryingAboveCritical();
        dir_.write("zarude.dat", saturation_);
        dir_.write("didizar.dat", singlePhase_);
    }

    TableSource Source() const { return FileTableSource(prefix_.c_str()); }

    // Runs the lookup; returns its flag, or the failure code + 1000.
    int Lookup(Real48 p, Real48 t, SinglePhaseState *state) {
        try {
            return LookupPTAll(Source(), p, t, state);
        } catch (const LibraryFailure &f) {
            return 1000 + f.code;
        }
    }
    SinglePhaseState Answer(Real48 p, Real48 t) {
        SinglePhaseState state = Untouched();
        EXPECT_EQ(Lookup(p, t, &state), 0);
        return state;
    }

    // Entry at single-phase grid point `isobar` (1..224) and column (0..80).
    SinglePhaseState Entry(int isobar, int column) const {
        const std::size_t first = 3 * (std::size_t(isobar - 1) * 81 + column);
        return SinglePhaseState{R(SingleAt(singlePhase_, first)),
                                R(SingleAt(singlePhase_, first + 1)),
                                R(SingleAt(singlePhase_, first + 2))};
    }
    Real48 Saturated(int record, int field) const {
        return R(SingleAt(saturation_, 7 * record + field));
    }

    ScratchDirectory dir_;
    std::string prefix_ = dir_.prefix();
    std::vector<std::uint8_t> saturation_, singlePhase_;
};

TEST_F(LookupPTTest, GridNodesGiveTheirEntryExactly) {
    // Compressed liquid, superheated vapour, supercritical fluid.
    ExpectState(Answer(W(50), W(100)), Entry(kAt50Bar, 10));
    ExpectState(Answer(W(1), W(200)), Entry(kAt1Bar, 20));
    ExpectState(Answer(W(20), W(300)), Entry(kAt20Bar, 30));
    ExpectState(Answer(W(500), W(600)), Entry(kAt500Bar, 60));
    ExpectState(Answer(W(230), W(0)), Entry(kAt230Bar, 0));
    ExpectState(Answer(W(500), W(790)), Entry(kAt500Bar, 79));
}

TEST_F(LookupPTTest, NodeOnEitherEdgeOfACrossingCellGivesItsEntry) {
    // At 1 bar the saturation line (about 97 degC) crosses the 90..100 cell:
    // 90 degC is its liquid corner, 100 degC the lower corner of the next cell.
    ExpectState(Answer(W(1), W(90)), Entry(kAt1Bar, 9));
    ExpectState(Answer(W(1), W(100)), Entry(kAt1Bar, 10));
}

TEST_F(LookupPTTest, TopOfTheGridIsAnsweredJustInsideIt) {
    const Real48 justBelow1000 = R(999.999L), justBelow800 = R(799.999L);
    ASSERT_EQ(BytesOf(justBelow1000), (Bytes{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x79}));
    ASSERT_EQ(BytesOf(justBelow800), (Bytes{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x47}));

    const SinglePhaseState atTopPressure = Answer(W(1000), W(600));
    ExpectState(atTopPressure, Answer(justBelow1000, W(600)));
    EXPECT_FALSE(SameState(atTopPressure, Entry(kAt1000Bar, 60)));

    const SinglePhaseState atTopTemperature = Answer(W(500), W(800));
    ExpectState(atTopTemperature, Answer(W(500), justBelow800));
    EXPECT_FALSE(SameState(atTopTemperature, Entry(kAt500Bar, 80)));

    const SinglePhaseState atTopCorner = Answer(W(1000), W(800));
    ExpectState(atTopCorner, Answer(justBelow1000, justBelow800));
    EXPECT_FALSE(SameState(atTopCorner, Entry(kAt1000Bar, 80)));
    // A hair from the entry, not somewhere else.
    EXPECT_NEAR(double(Real48ToExtended(atTopCorner.enthalpy)),
                double(Real48ToExtended(Entry(kAt1000Bar, 80).enthalpy)), 0.01);
}

TEST_F(LookupPTTest, SupercriticalStateIsInterpolatedTemperatureFirstInItsCell) {
    const Real48 p = W(505), t = W(605);
    const SinglePhaseState e00 = Entry(kAt500Bar, 60), e10 = Entry(kAt500Bar, 61),
                           e01 = Entry(kAt520Bar, 60), e11 = Entry(kAt520Bar, 61);
    auto expected = [&](Real48 SinglePhaseState::*q) {
        return InterpolateBilinear(t, p, W(600), W(500), W(610), W(520), e00.*q, e10.*q, e01.*q, e11.*q);
    };
    ExpectState(Answer(p, t), SinglePhaseState{expected(&SinglePhaseState::volume),
                                               expected(&SinglePhaseState::enthalpy),
                                               expected(&SinglePhaseState::entropy)});
}

TEST_F(LookupPTTest, CellCornersAreTheSingleGridPressures) {
    // Between 1 and 1.1 bar, superheated: the upper corner is the single
    // nearest to 1.1, not the Real48 nearest to it.
    const Real48 p = R(1.05L), t = W(155);
    const Real48 p0 = W(1), p1 = R(1.1f);
    ASSERT_NE(BytesOf(p1), BytesOf(R(1.1L)));
    const SinglePhaseState e00 = Entry(kAt1Bar, 15), e10 = Entry(kAt1Bar, 16),
                           e01 = Entry(kAt1_1Bar, 15), e11 = Entry(kAt1_1Bar, 16);
    auto expected = [&](Real48 SinglePhaseState::*q) {
        return InterpolateBilinear(t, p, W(150), p0, W(160), p1, e00.*q, e10.*q, e01.*q, e11.*q);
    };
    ExpectState(Answer(p, t), SinglePhaseState{expected(&SinglePhaseState::volume),
                                               expected(&SinglePhaseState::enthalpy),
                                               expected(&SinglePhaseState::entropy)});
}

TEST_F(LookupPTTest, StateOnTheSaturationLineIsRefusedWithoutReadingTheSinglePhaseTable) {
    std::remove(dir_.file("didizar.dat").c_str());
    const Real48 ts = R(SaturationAtPressure(Source(), 1).field(kSaturationLevel));
    ASSERT_EQ(BytesOf(ts), BytesOf(Saturated(55, kSaturationLevel)));
    const Extended t = Real48ToExtended(ts);
    for (Real48 nearLine : {ts, R(t + 0.0009L), R(t - 0.0009L)}) {
        SinglePhaseState state = Untouched();
        EXPECT_EQ(Lookup(W(1), nearLine, &state), 1);
        ExpectUntouched(state);
    }
    // At the critical pressure too, where the line ends.
    SinglePhaseState state = Untouched();
    EXPECT_EQ(Lookup(R(221.2L), Saturated(291, kSaturationLevel), &state), 1);
    ExpectUntouched(state);
}

TEST_F(LookupPTTest, StateAThousandthOfADegreeFromTheLineIsAnswered) {
    // A saturation temperature of 0.001 degC at 0.01 bar (record 0), and a
    // temperature whose extended distance from it is exactly the extended
    // 0.001; the next Real48 up lies nearer.
    const float tsSingle = 0.001f;
    std::memcpy(saturation_.data(), &tsSingle, 4);
    dir_.write("zarude.dat", saturation_);
    const Extended ts = tsSingle;
    const Real48 exactlyOff = R(ts - 0.001L);
    ASSERT_EQ(ts - Real48ToExtended(exactlyOff), 0.001L);
    const Real48 nearer = NextUp(exactlyOff);
    ASSERT_LT(ts - Real48ToExtended(nearer), 0.001L);

    SinglePhaseState state = Untouched();
    EXPECT_EQ(Lookup(R(0.01L), exactlyOff, &state), 0);
    state = Untouched();
    EXPECT_EQ(Lookup(R(0.01L), nearer, &state), 1);
    ExpectUntouched(state);
}

TEST_F(LookupPTTest, CrossingCellInterpolatesToTheSaturatedStateOnEachSide) {
    // 1 bar is record 55 of zarude.dat and isobar 40 of didizar.dat.
    const Real48 ts = Saturated(55, kSaturationLevel);
    ASSERT_GT(Real48ToExtended(ts), 90);
    ASSERT_LT(Real48ToExtended(ts), 99.9L);
    const SinglePhaseState at90 = Entry(kAt1Bar, 9), at100 = Entry(kAt1Bar, 10);

    // Far from and close to the line, on each side of it.
    for (Real48 liquidT : {W(95), R(Real48ToExtended(ts) - 0.002L)}) {
        SCOPED_TRACE(double(Real48ToExtended(liquidT)));
        ExpectState(Answer(W(1), liquidT),
                    SinglePhaseState{
                        InterpolateLinear(liquidT, W(90), ts, at90.volume, Saturated(55, kLiquidVolume)),
                        InterpolateLinear(liquidT, W(90), ts, at90.enthalpy, Saturated(55, kLiquidEnthalpy)),
                        InterpolateLinear(liquidT, W(90), ts, at90.entropy, Saturated(55, kLiquidEntropy))});
    }
    for (Real48 vapourT : {R(99.9L), R(Real48ToExtended(ts) + 0.002L)}) {
        SCOPED_TRACE(double(Real48ToExtended(vapourT)));
        ExpectState(Answer(W(1), vapourT),
                    SinglePhaseState{
                        InterpolateLinear(vapourT, ts, W(100), Saturated(55, kVapourVolume), at100.volume),
                        InterpolateLinear(vapourT, ts, W(100), Saturated(55, kVapourEnthalpy), at100.enthalpy),
                        InterpolateLinear(vapourT, ts, W(100), Saturated(55, kVapourEntropy), at100.entropy)});
    }
}

TEST_F(LookupPTTest, CriticalPressureUsesTheSaturationTableAndJustAboveItDoesNot) {
    std::remove(dir_.file("zarude.dat").c_str());
    SinglePhaseState state = Untouched();
    EXPECT_EQ(Lookup(R(221.2L), W(500), &state), 1000 + kFileNotFound);
    ExpectUntouched(state);

    const Real48 justAbove = NextUp(R(221.2L));
    ASSERT_GT(Real48ToExtended(justAbove), 221.2L);
    const SinglePhaseState e00 = Entry(kAt220Bar, 50), e10 = Entry(kAt220Bar, 51),
                           e01 = Entry(kAt230Bar, 50), e11 = Entry(kAt230Bar, 51);
    const Real48 t = W(505);
    ExpectState(Answer(justAbove, t),
                SinglePhaseState{
                    InterpolateBilinear(t, justAbove, W(500), W(220), W(510), W(230), e00.volume,
                                        e10.volume, e01.volume, e11.volume),
                    InterpolateBilinear(t, justAbove, W(500), W(220), W(510), W(230), e00.enthalpy,
                                        e10.enthalpy, e01.enthalpy, e11.enthalpy),
                    InterpolateBilinear(t, justAbove, W(500), W(220), W(510), W(230), e00.entropy,
                                        e10.entropy, e01.entropy, e11.entropy)});
}

TEST_F(LookupPTTest, MissingSinglePhaseTableFailsWithFileNotFoundAndWritesNothing) {
    std::remove(dir_.file("didizar.dat").c_str());
    for (auto [p, t] : {std::pair{50, 100}, std::pair{500, 600}, std::pair{1, 95}}) {
        SinglePhaseState state = Untouched();
        EXPECT_EQ(Lookup(W(p), W(t), &state), 1000 + kFileNotFound) << p << " bar, " << t << " degC";
        ExpectUntouched(state);
    }
}

TEST_F(LookupPTTest, ShortSinglePhaseTableFailsOnlyWhereAMissingIsobarIsNeeded) {
    // Isobars 1..150: up to 90 bar; 90 bar itself needs the next one.
    singlePhase_ = testing::SinglePhaseTableVaryingAboveCritical(150);
    dir_.write("didizar.dat", singlePhase_);
    ExpectState(Answer(W(50), W(100)), Entry(kAt50Bar, 10));
    SinglePhaseState state = Untouched();
    EXPECT_EQ(Lookup(W(89), W(100), &state), 0);
    state = Untouched();
    EXPECT_EQ(Lookup(W(90), W(100), &state), 1000 + kReadBeyondEndOfFile);
    ExpectUntouched(state);
    EXPECT_EQ(Lookup(W(500), W(600), &state), 1000 + kReadBeyondEndOfFile);
    ExpectUntouched(state);
}

}  // namespace
}  // namespace rudid
