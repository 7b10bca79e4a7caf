#include "support/real48_bytes.h"
#include "tables/pressure_grids.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace rudid {
namespace {

using Bytes = testing::Real48Bytes;
using testing::BytesOf;

// The decimal grid points, written out from whole numbers of thousandths
// (saturation) or hundredths (single phase) of a bar, so that no binary
// arithmetic stands between the decimal and the value it should give.
struct DecimalSegment {
    int last, k0, start, step;
};

std::string SaturationPointText(int k) {
    static const DecimalSegment segments[] = {
        {19, 0, 5, 5},          {39, 19, 100, 10},      {44, 39, 300, 20},
        {56, 44, 400, 50},      {96, 56, 1000, 100},    {121, 96, 5000, 200},
        {161, 121, 10000, 500}, {231, 161, 30000, 1000}, {291, 231, 100000, 2000}};
    int thousandths = 221200;
    for (const DecimalSegment &s : segments)
        if (k <= s.last) {
            thousandths = s.start + (k - s.k0) * s.step;
            break;
        }
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d", thousandths / 1000, thousandths % 1000);
    return text;
}

std::string SinglePhasePointText(int k) {
    static const DecimalSegment segments[] = {
        {10, 0, 0, 1},          {30, 10, 10, 2},        {40, 30, 50, 5},
        {60, 40, 100, 10},      {70, 60, 300, 20},      {100, 70, 500, 50},
        {130, 100, 2000, 100},  {155, 130, 5000, 200},  {175, 155, 10000, 500},
        {205, 175, 20000, 1000}, {220, 205, 50000, 2000}, {224, 220, 80000, 5000}};
    int hundredths = 0;
    for (const DecimalSegment &s : segments)
        if (k <= s.last) {
            hundredths = s.start + (k - s.k0) * s.step;
            break;
        }
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
    return text;
}

TEST(SaturationPressureGrid, EveryPointIsTheReal48NearestToItsDecimal) {
    const SaturationPressureGrid &grid = SaturationPressures();
    for (int k = 1; k <= kSaturationGridPoints; ++k) {
        const std::string text = SaturationPointText(k);
        const Real48 expected = ExtendedToReal48(std::strtold(text.c_str(), nullptr));
        EXPECT_EQ(BytesOf(grid.point[k]), BytesOf(expected)) << "point " << k << " (" << text << ")";
        EXPECT_EQ(grid.value[k], Real48ToExtended(grid.point[k])) << "point " << k;
    }
}

TEST(SaturationPressureGrid, SegmentEndsAndTheCriticalPoint) {
    const SaturationPressureGrid &grid = SaturationPressures();
    EXPECT_EQ(SaturationPointText(1), "0.010");
    EXPECT_EQ(SaturationPointText(56), "1.000");
    EXPECT_EQ(SaturationPointText(231), "100.000");
    EXPECT_EQ(SaturationPointText(291), "220.000");
    EXPECT_EQ(BytesOf(grid.point[292]), (Bytes{0x88, 0x33, 0x33, 0x33, 0x33, 0x5D}));
    // Point 1 lies just above the extended 0.01.
    EXPECT_GT(grid.value[1], 0.01L);
    for (int k = 2; k <= kSaturationGridPoints; ++k) EXPECT_LT(grid.value[k - 1], grid.value[k]) << k;
}

TEST(SinglePhasePressureGrid, EveryPointIsTheSingleNearestToItsDecimal) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    for (int k = 1; k <= kSinglePhaseGridPoints; ++k) {
        const std::string text = SinglePhasePointText(k);
        EXPECT_EQ(grid.point[k], std::strtof(text.c_str(), nullptr)) << "point " << k << " (" << text << ")";
    }
}

TEST(SinglePhasePressureGrid, EndsOfTheGrid) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    EXPECT_EQ(SinglePhasePointText(1), "0.01");
    EXPECT_EQ(SinglePhasePointText(100), "20.00");
    EXPECT_EQ(SinglePhasePointText(224), "1000.00");
    EXPECT_LT(Extended(grid.point[1]), 0.01L);
    EXPECT_GT(Extended(grid.point[10]), 0.1L);
    for (int k = 101; k <= kSinglePhaseGridPoints; ++k)
        EXPECT_EQ(grid.point[k], std::floor(grid.point[k])) << "point " << k << " is not whole";
    EXPECT_EQ(grid.point[224], 1000.0f);
    for (int k = 2; k <= kSinglePhaseGridPoints; ++k) EXPECT_LT(grid.point[k - 1], grid.point[k]) << k;
}

// What the search must give, by its plain definition: the first index, going
// up from 1, whose point exceeds p; the last index when none does.
template <typename Point>
int FirstAboveByScan(const Point *points, int count, Extended p) {
    for (int k = 1; k <= count; ++k)
        if (Extended(points[k]) > p) return k;
    return count;
}

// Probes around every point: the point itself and its extended neighbours.
template <typename Point, typename Search>
void ExpectSearchMatchesScan(const Point *points, int count, Search search) {
    for (int k = 1; k <= count; ++k) {
        const Extended at = Extended(points[k]);
        for (Extended p : {at, std::nextafter(at, -1.0L), std::nextafter(at, 2000.0L)})
            EXPECT_EQ(search(p), FirstAboveByScan(points, count, p)) << "p = " << double(p);
    }
}

// Probes where a search that starts from buckets of doubles could go
// wrong: up to three Real48 steps either side of every point, the edges of
// the buckets (every 1/64 of a binade) and their extended neighbours, NaN,
// and random pressures over and beyond the grids.
template <typename Point, typename Search>
void ExpectSearchMatchesScanEverywhere(const Point *points, int count, Search search) {
    std::vector<Extended> probes;
    for (int k = 1; k <= count; ++k) {
        const Extended at = RoundToReal48(Extended(points[k]));
        for (int step = -3; step <= 3; ++step) probes.push_back(at * (1 + step * 0x1p-39L));
    }
    for (int binade = -9; binade <= 11; ++binade)
        for (int j = 0; j < 64; ++j) {
            const Extended edge = std::ldexp(1.0L + j / 64.0L, binade);
            for (Extended p : {edge, std::nextafter(edge, 0.0L), std::nextafter(edge, 1e9L)}) probes.push_back(p);
        }
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 100000; ++i) probes.push_back(RoundToReal48(std::exp(std::log(0.001) + unit(random) * std::log(2e6))));
    for (Extended p : probes) ASSERT_EQ(search(p), FirstAboveByScan(points, count, p)) << "p = " << double(p);
    EXPECT_EQ(search(NAN), count);
}

TEST(FirstSaturationPointAbove, IsTheFirstPointAboveAndTheLastWhenNoneIs) {
    const SaturationPressureGrid &grid = SaturationPressures();
    EXPECT_EQ(FirstSaturationPointAbove(0), 1);
    EXPECT_EQ(FirstSaturationPointAbove(grid.value[1]), 2);
    EXPECT_EQ(FirstSaturationPointAbove(1.0L), 57);
    EXPECT_EQ(FirstSaturationPointAbove(101.0L), 232);
    EXPECT_EQ(FirstSaturationPointAbove(grid.value[291]), 292);
    EXPECT_EQ(FirstSaturationPointAbove(grid.value[292]), 292);
    EXPECT_EQ(FirstSaturationPointAbove(5000.0L), 292);
    ExpectSearchMatchesScan(grid.value, kSaturationGridPoints,
                            [](Extended p) { return FirstSaturationPointAbove(p); });
    ExpectSearchMatchesScanEverywhere(grid.value, kSaturationGridPoints,
                                      [](Extended p) { return FirstSaturationPointAbove(p); });
}

TEST(FirstSinglePhasePointAbove, IsTheFirstPointAboveAndTheLastWhenNoneIs) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    // 0.01 lies above the single point 1.
    EXPECT_EQ(FirstSinglePhasePointAbove(0.01L), 2);
    EXPECT_EQ(FirstSinglePhasePointAbove(0), 1);
    EXPECT_EQ(FirstSinglePhasePointAbove(1.0L), 41);
    EXPECT_EQ(FirstSinglePhasePointAbove(500.0L), 206);
    EXPECT_EQ(FirstSinglePhasePointAbove(999.999L), 224);
    EXPECT_EQ(FirstSinglePhasePointAbove(1000.0L), 224);
    EXPECT_EQ(FirstSinglePhasePointAbove(1e6L), 224);
    ExpectSearchMatchesScan(grid.point, kSinglePhaseGridPoints,
                            [](Extended p) { return FirstSinglePhasePointAbove(p); });
    ExpectSearchMatchesScanEverywhere(grid.point, kSinglePhaseGridPoints,
                                      [](Extended p) { return FirstSinglePhasePointAbove(p); });
}

}  // namespace
}  // namespace rudid
