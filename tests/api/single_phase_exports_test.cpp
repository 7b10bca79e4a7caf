// Specific volume, enthalpy and entropy from pressure and temperature: grid
// nodes, cells the saturation line crosses, the saturation line itself and
// the top edges of the table.
#include <gtest/gtest.h>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

// Pressure points of the single-phase grid used below.
constexpr int kPoint1Bar = 40;
constexpr int kPoint20Bar = 100;
constexpr int kPoint500Bar = 205;

constexpr int kVolume = 0, kEnthalpy = 1, kEntropy = 2;
constexpr const char *kExportOf[] = {"AQPPTV", "AQPPTH", "AQPPTS"};

double Entry(int point, int tenth, int column) {
    return SinglePhaseValue(StandardSinglePhase(), point, tenth, column);
}

// The saturation state of 1 bar, record 55 of zarude.dat.
double AtOneBar(int field) { return SaturationValue(StandardSaturationByPressure(), 55, field); }

TEST(SinglePhaseGridNodes, NodesGiveTheTableEntriesExactly) {
    struct Node {
        double pressure, temperature;
        int point, tenth;
    };
    const Node nodes[] = {
        {1, 50, kPoint1Bar, 5},       // compressed liquid
        {1, 200, kPoint1Bar, 20},     // superheated vapour
        {20, 300, kPoint20Bar, 30},   // superheated vapour
        {500, 600, kPoint500Bar, 60}, // supercritical
        {1, 100, kPoint1Bar, 10},     // lower corner of the cell above the saturation line
    };
    for (const Node &node : nodes)
        for (int column : {kVolume, kEnthalpy, kEntropy}) {
            SCOPED_TRACE(::testing::Message() << kExportOf[column] << "(" << node.pressure << ", "
                                              << node.temperature << ")");
            EXPECT_EQ(Lib().Answer(Lib().Call(kExportOf[column], node.pressure, node.temperature)),
                      Entry(node.point, node.tenth, column));
        }
}

TEST(SinglePhaseCell, CellWithoutTheSaturationLineIsInterpolatedBilinearly) {
    // Liquid at 1 bar between 50 and 60 degC: h = 4.2 t on the grid.
    EXPECT_EQ(Lib().Answer(Lib().AQPPTH(1, 55)), Interpolated(55, 50, 60, Entry(kPoint1Bar, 5, kEnthalpy),
                                                              Entry(kPoint1Bar, 6, kEnthalpy)));
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTH(1, 55)), 231, 1e-4);
}

TEST(SinglePhaseCrossingCell, LiquidSideInterpolatesTowardTheSaturatedLiquid) {
    // The saturation temperature of 1 bar (97.02 degC) lies in the cell from
    // 90 to 100 degC. At 1 bar the lower isobar is taken unchanged.
    const double ts = AtOneBar(kSaturationLevel);
    ASSERT_GT(ts, 95);
    ASSERT_LT(ts, 99.9);
    const int fields[] = {kLiquidVolume, kLiquidEnthalpy, kLiquidEntropy};
    for (int column : {kVolume, kEnthalpy, kEntropy}) {
        SCOPED_TRACE(kExportOf[column]);
        EXPECT_EQ(Lib().Answer(Lib().Call(kExportOf[column], 1, 95)),
                  Interpolated(95, 90, ts, Entry(kPoint1Bar, 9, column), AtOneBar(fields[column])));
    }
    // The synthetic liquid is linear in temperature, so the result lies on
    // its line; interpolating across the line to the vapour would not.
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTH(1, 95)), 4.2 * 95, 1e-3);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTV(1, 95)), 0.001 + 1e-6 * 95, 1e-9);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTS(1, 95)), 0.012 * 95, 1e-5);
}

TEST(SinglePhaseCrossingCell, VapourSideInterpolatesFromTheSaturatedVapour) {
    const double ts = AtOneBar(kSaturationLevel);
    const int fields[] = {kVapourVolume, kVapourEnthalpy, kVapourEntropy};
    for (int column : {kVolume, kEnthalpy, kEntropy}) {
        SCOPED_TRACE(kExportOf[column]);
        EXPECT_EQ(Lib().Answer(Lib().Call(kExportOf[column], 1, 99.9)),
                  Interpolated(99.9, ts, 100, AtOneBar(fields[column]), Entry(kPoint1Bar, 10, column)));
    }
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTH(1, 99.9)), 2500 + 2 * 99.9 - 0.1, 1e-3);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTV(1, 99.9)), 4.6e-3 * (99.9 + 273.15), 1e-6);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTS(1, 99.9)), 9 - 0.01 + 0.002 * 99.9, 1e-5);
}

TEST(SaturationLine, TemperatureWithinAThousandthOfADegreeGivesMinus1015) {
    const double ts = AtOneBar(kSaturationLevel);
    for (const char *name : kExportOf) {
        SCOPED_TRACE(name);
        for (double t : {ts, ts + 0.0009, ts - 0.0009})
            EXPECT_EQ(Lib().Answer(Lib().Call(name, 1, t)), kOnSaturationLine) << t;
        EXPECT_GT(Lib().Answer(Lib().Call(name, 1, ts + 0.0011)), 0);
        EXPECT_GT(Lib().Answer(Lib().Call(name, 1, ts - 0.0011)), 0);
    }
    EXPECT_EQ(Lib().Answer(Lib().AQPPTH(221.2, 374.15)), kOnSaturationLine);
}

TEST(SaturationLine, OneDegreeOffTheLineGivesLiquidOrVapourValues) {
    const double ts = AtOneBar(kSaturationLevel);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTH(1, ts - 1)), 4.2 * (ts - 1), 1e-3);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTH(1, ts + 1)), 2500 + 2 * (ts + 1) - 0.1, 1e-3);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTS(1, ts - 1)), 0.012 * (ts - 1), 1e-5);
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTS(1, ts + 1)), 9 - 0.01 + 0.002 * (ts + 1), 1e-5);
}

TEST(SaturationLine, AboveTheCriticalPressureNoTemperatureIsOnTheLine) {
    for (const char *name : kExportOf) {
        SCOPED_TRACE(name);
        for (double t : {374.15, 374.0, 374.2, 373.64})
            EXPECT_GT(Lib().Answer(Lib().Call(name, 221.2001, t)), 0) << t;
        EXPECT_GT(Lib().Answer(Lib().Call(name, 300, 374.15)), 0);
    }
}

TEST(SinglePhaseTopEdges, HighestPressureAndTemperatureAreMovedJustInsideTheGrid) {
    // 1000 bar and 800 degC are taken as 999.999 and 799.999: the result lies
    // a hair from the table entry (h = 800 + 2 t - 0.1 p above 221.2 bar).
    const double corner = Lib().Answer(Lib().AQPPTH(1000, 800));
    EXPECT_NE(corner, SinglePhaseValue(StandardSinglePhase(), 224, 80, kEnthalpy));
    EXPECT_NEAR(corner, 800 + 2 * 799.999 - 0.1 * 999.999, 1e-6);
    EXPECT_EQ(corner, Lib().Answer(Lib().AQPPTH(999.999, 799.999)));
    EXPECT_NEAR(Lib().Answer(Lib().AQPPTH(1000, 0)), 800 - 0.1 * 999.999, 1e-6);
    EXPECT_EQ(Lib().Answer(Lib().AQPPTS(1000, 300)), Lib().Answer(Lib().AQPPTS(999.999, 300)));
}

}  // namespace
}  // namespace rudid::testing
