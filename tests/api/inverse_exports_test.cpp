// Temperature, quality and the other properties from pressure and specific
// enthalpy, entropy or volume.
#include <gtest/gtest.h>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

constexpr int kPoint1Bar = 40;

// The four exports of one key, with the columns and saturation fields of the
// key and of the two outputs other than temperature and quality.
struct KeyFamily {
    const char *temperature, *quality;
    const char *other[2];
    int keyColumn, keyLiquidField;
    int otherColumn[2], otherLiquidField[2];
    // Keys at 1 bar just inside the two-phase bounds' neighbours: between the
    // 90 degC entry and the saturated liquid, and between the saturated
    // vapour and the 100 degC entry.
    double liquidSideKey, vapourSideKey;
};

const KeyFamily kFamilies[] = {
    {"AQPPHT", "AQPPHQ", {"AQPPHV", "AQPPHS"}, 1, kLiquidEnthalpy, {0, 2}, {kLiquidVolume, kLiquidEntropy},
     395, 2697},
    {"AQPPST", "AQPPSQ", {"AQPPSV", "AQPPSH"}, 2, kLiquidEntropy, {0, 1}, {kLiquidVolume, kLiquidEnthalpy},
     1.12, 9.187},
    {"AQPPVT", "AQPPVQ", {"AQPPVH", "AQPPVS"}, 0, kLiquidVolume, {1, 2}, {kLiquidEnthalpy, kLiquidEntropy},
     0.001093, 1.71},
};

double AtOneBar(int field) { return SaturationValue(StandardSaturationByPressure(), 55, field); }
double EntryAtOneBar(int tenth, int column) {
    return SinglePhaseValue(StandardSinglePhase(), kPoint1Bar, tenth, column);
}

TEST(InverseTwoPhase, SaturatedLiquidKeyGivesQualityZeroAndTheLiquidState) {
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        const double key = AtOneBar(f.keyLiquidField);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.temperature, 1, key)), AtOneBar(kSaturationLevel));
        EXPECT_EQ(Lib().Answer(Lib().Call(f.quality, 1, key)), 0.0);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(Lib().Answer(Lib().Call(f.other[i], 1, key)), AtOneBar(f.otherLiquidField[i])) << f.other[i];
    }
}

TEST(InverseTwoPhase, SaturatedVapourKeyGivesQualityOneAndTheVapourState) {
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        const double key = AtOneBar(f.keyLiquidField + 1);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.temperature, 1, key)), AtOneBar(kSaturationLevel));
        EXPECT_EQ(Lib().Answer(Lib().Call(f.quality, 1, key)), 1.0);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(Lib().Answer(Lib().Call(f.other[i], 1, key)), AtOneBar(f.otherLiquidField[i] + 1))
                << f.other[i];
    }
}

TEST(InverseTwoPhase, KeyBetweenTheBoundsGivesTheSaturationTemperatureAndItsQuality) {
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        const double kf = AtOneBar(f.keyLiquidField), kg = AtOneBar(f.keyLiquidField + 1);
        const double key = kf + 0.25 * (kg - kf);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.temperature, 1, key)), AtOneBar(kSaturationLevel));
        const double quality = Lib().Answer(Lib().Call(f.quality, 1, key));
        EXPECT_EQ(quality, RoundedToReal48((Widened(R48(key)) - (long double)kf) / (kg - kf)));
        EXPECT_NEAR(quality, 0.25, 1e-9);
        for (int i = 0; i < 2; ++i) {
            const double yf = AtOneBar(f.otherLiquidField[i]), yg = AtOneBar(f.otherLiquidField[i] + 1);
            EXPECT_EQ(Lib().Answer(Lib().Call(f.other[i], 1, key)),
                      RoundedToReal48((1 - (long double)quality) * yf + (long double)quality * yg))
                << f.other[i];
        }
    }
}

TEST(InverseStraddlingInterval, KeyBelowTheSaturatedLiquidInterpolatesTowardIt) {
    const double ts = AtOneBar(kSaturationLevel);
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        const double k90 = EntryAtOneBar(9, f.keyColumn), kf = AtOneBar(f.keyLiquidField);
        ASSERT_LT(k90, f.liquidSideKey);
        ASSERT_LT(f.liquidSideKey, kf);
        const double t = Lib().Answer(Lib().Call(f.temperature, 1, f.liquidSideKey));
        EXPECT_EQ(t, Interpolated(f.liquidSideKey, k90, kf, 90, ts));
        EXPECT_GT(t, 90);
        EXPECT_LT(t, ts);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.quality, 1, f.liquidSideKey)), 0.0);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(Lib().Answer(Lib().Call(f.other[i], 1, f.liquidSideKey)),
                      Interpolated(f.liquidSideKey, k90, kf, EntryAtOneBar(9, f.otherColumn[i]),
                                   AtOneBar(f.otherLiquidField[i])))
                << f.other[i];
    }
    // The synthetic liquid has h = 4.2 t.
    EXPECT_NEAR(Lib().Answer(Lib().AQPPHT(1, 395)), 395 / 4.2, 1e-3);
}

TEST(InverseStraddlingInterval, KeyAboveTheSaturatedVapourInterpolatesFromIt) {
    const double ts = AtOneBar(kSaturationLevel);
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        const double kg = AtOneBar(f.keyLiquidField + 1), k100 = EntryAtOneBar(10, f.keyColumn);
        ASSERT_LT(kg, f.vapourSideKey);
        ASSERT_LT(f.vapourSideKey, k100);
        const double t = Lib().Answer(Lib().Call(f.temperature, 1, f.vapourSideKey));
        EXPECT_EQ(t, Interpolated(f.vapourSideKey, kg, k100, ts, 100));
        EXPECT_GT(t, ts);
        EXPECT_LT(t, 100);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.quality, 1, f.vapourSideKey)), 1.0);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(Lib().Answer(Lib().Call(f.other[i], 1, f.vapourSideKey)),
                      Interpolated(f.vapourSideKey, kg, k100, AtOneBar(f.otherLiquidField[i] + 1),
                                   EntryAtOneBar(10, f.otherColumn[i])))
                << f.other[i];
    }
    // The synthetic vapour has h = 2500 + 2 t - 0.1 p.
    EXPECT_NEAR(Lib().Answer(Lib().AQPPHT(1, 2697)), (2697 - 2500 + 0.1) / 2, 1e-3);
}

TEST(InverseSinglePhase, KeyOfAnEntryGivesItsTemperatureAndValues) {
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        for (int tenth : {0, 5, 30, 80}) {
            const double key = EntryAtOneBar(tenth, f.keyColumn);
            EXPECT_EQ(Lib().Answer(Lib().Call(f.temperature, 1, key)), 10.0 * tenth);
            EXPECT_EQ(Lib().Answer(Lib().Call(f.quality, 1, key)), tenth < 10 ? 0.0 : 1.0);
            for (int i = 0; i < 2; ++i)
                EXPECT_EQ(Lib().Answer(Lib().Call(f.other[i], 1, key)), EntryAtOneBar(tenth, f.otherColumn[i]))
                    << f.other[i] << " at " << 10 * tenth << " degC";
        }
    }
}

TEST(InverseSinglePhase, KeyJustOutsideTheIsobarIsRefused) {
    const double codes[] = {kVolumeOutsideTable, kEnthalpyOutsideTable, kEntropyOutsideTable};
    for (const KeyFamily &f : kFamilies) {
        SCOPED_TRACE(f.temperature);
        const double lowest = EntryAtOneBar(0, f.keyColumn), highest = EntryAtOneBar(80, f.keyColumn);
        const double below = lowest == 0 ? -1e-6 : lowest * (1 - 1e-6);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.temperature, 1, below)), codes[f.keyColumn]);
        EXPECT_EQ(Lib().Answer(Lib().Call(f.quality, 1, highest * (1 + 1e-6))), codes[f.keyColumn]);
    }
    // A negative volume reaches the lookup, which refuses it.
    EXPECT_EQ(Lib().Answer(Lib().AQPPVT(1, -0.001)), kVolumeOutsideTable);
    EXPECT_EQ(Lib().Answer(Lib().AQPPVQ(300, -1)), kVolumeOutsideTable);
}

TEST(InverseAboveCriticalPressure, QualityComesFromTheCriticalKeyValues) {
    // At 300 bar the isobar spans the critical-point keys; a key equal to
    // 2107.4 counts as liquid-like, one equal to 0.00317 as vapour-like.
    EXPECT_EQ(Lib().Answer(Lib().AQPPHQ(300, 2107.4)), 0.0);
    EXPECT_EQ(Lib().Answer(Lib().AQPPHQ(300, 2107.5)), 1.0);
    EXPECT_EQ(Lib().Answer(Lib().AQPPVQ(300, 0.00317)), 1.0);
    EXPECT_EQ(Lib().Answer(Lib().AQPPVQ(300, 0.00316)), 0.0);
    EXPECT_EQ(Lib().Answer(Lib().AQPPSQ(300, 4.4428)), 0.0);
    EXPECT_EQ(Lib().Answer(Lib().AQPPSQ(300, 4.4430)), 1.0);
    // h = 800 + 2 t - 0.1 p on the supercritical isobars.
    EXPECT_NEAR(Lib().Answer(Lib().AQPPHT(300, 2107.4)), (2107.4 - 800 + 30) / 2, 1e-6);
}

TEST(InverseAboveCriticalPressure, QualityIsZeroOrOneJustAboveTheCriticalPressureAndBetweenAtIt) {
    for (double h = 1000; h <= 3000; h += 100) {
        const double quality = Lib().Answer(Lib().AQPPHQ(221.2001, h));
        EXPECT_TRUE(quality == 0.0 || quality == 1.0) << h << " kJ/kg gives " << quality;
    }
    // 221.2 bar still has a two-phase region.
    const double quality = Lib().Answer(Lib().AQPPHQ(221.2, 2400));
    EXPECT_GT(quality, 0);
    EXPECT_LT(quality, 1);
}

TEST(InverseHighestPressure, ThousandBarIsAnsweredAs999Point999Bar) {
    for (const char *name : {"AQPPHT", "AQPPHS", "AQPPHV"})
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 1000, 1500)), Lib().Answer(Lib().Call(name, 999.999, 1500)))
            << name;
    EXPECT_EQ(Lib().Answer(Lib().AQPPST(1000, 2)), Lib().Answer(Lib().AQPPST(999.999, 2)));
    EXPECT_EQ(Lib().Answer(Lib().AQPPVT(1000, 0.003)), Lib().Answer(Lib().AQPPVT(999.999, 0.003)));
    EXPECT_NEAR(Lib().Answer(Lib().AQPPHT(1000, 1500)), (1500 - 800 + 0.1 * 999.999) / 2, 1e-3);
}

// A zarude.dat whose last record is the critical point, where the liquid
// and vapour values coincide: a key equal to them passes the two-phase test
// with nothing between the bounds.
TEST(InverseCriticalPoint, KeyEqualToTheCriticalValueGivesTheSaturatedStateNotAFailure) {
    InstanceSetup setup = StandardSetup();
    setup.saturationByPressure = SaturationByPressureTableWithCriticalPoint();
    const LibraryInstance lib(setup);
    const double ts = 374.15f, v = 0.00317f, h = 2107.4f, s = 4.4429f;

    EXPECT_EQ(lib.Answer(lib.AQPPHT(221.2, h)), ts);
    EXPECT_EQ(lib.Answer(lib.AQPPHQ(221.2, h)), 0.0);
    EXPECT_EQ(lib.Answer(lib.AQPPHS(221.2, h)), s);
    EXPECT_EQ(lib.Answer(lib.AQPPHV(221.2, h)), v);
    EXPECT_EQ(lib.Answer(lib.AQPPST(221.2, s)), ts);
    EXPECT_EQ(lib.Answer(lib.AQPPSQ(221.2, s)), 0.0);
    EXPECT_EQ(lib.Answer(lib.AQPPSH(221.2, s)), h);
    EXPECT_EQ(lib.Answer(lib.AQPPVT(221.2, v)), ts);
    EXPECT_EQ(lib.Answer(lib.AQPPVQ(221.2, v)), 0.0);
    EXPECT_EQ(lib.Answer(lib.AQPPVS(221.2, v)), s);
    EXPECT_EQ(lib.RudidLastError(), 0);

    EXPECT_EQ(lib.Answer(lib.AQPPT(221.2)), ts);
    EXPECT_EQ(lib.Answer(lib.AQPPQH(221.2, 0.5)), h);
}

}  // namespace
}  // namespace rudid::testing
