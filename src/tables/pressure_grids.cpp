#include "tables/pressure_grids.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

struct Segment {
    int first;  // first index of the segment
    int last;
    int k0;
    Extended start;
    Extended step;
};

constexpr Segment kSaturationSegments[] = {
    {1, 19, 0, 0.005L, 0.005L},   {20, 39, 19, 0.1L, 0.01L},  {40, 44, 39, 0.3L, 0.02L},
    {45, 56, 44, 0.4L, 0.05L},    {57, 96, 56, 1.0L, 0.1L},   {97, 121, 96, 5.0L, 0.2L},
    {122, 161, 121, 10.0L, 0.5L}, {162, 231, 161, 30.0L, 1.0L}, {232, 291, 231, 100.0L, 2.0L},
    {292, 292, 291, kCriticalPressure, 0.0L},  // the last point ends the saturation line
};

constexpr Segment kSinglePhaseSegments[] = {
    {1, 10, 0, 0.0L, 0.01L},       {11, 30, 10, 0.1L, 0.02L},     {31, 40, 30, 0.5L, 0.05L},
    {41, 60, 40, 1.0L, 0.1L},      {61, 70, 60, 3.0L, 0.2L},      {71, 100, 70, 5.0L, 0.5L},
    {101, 130, 100, 20.0L, 1.0L},  {131, 155, 130, 50.0L, 2.0L},  {156, 175, 155, 100.0L, 5.0L},
    {176, 205, 175, 200.0L, 10.0L}, {206, 220, 205, 500.0L, 20.0L}, {221, 224, 220, 800.0L, 50.0L},
};

Extended SegmentPoint(const Segment &s, int k) { return Extended(k - s.k0) * s.step + s.start; }

}  // namespace

// The grids are built once, when the library is loaded or first asked, in
// whatever floating-point environment the host has at that moment; the
// library's own makes the points the same bits as on every call.
void QuarterLogs(Extended pa, Extended pb, Extended *logs) {
    logs[0] = std::log(pa + 0.25L * (pb - pa));
    logs[1] = std::log(pa + 0.75L * (pb - pa));
}

SaturationPressureGrid BuildSaturationGrid() {
    const platform::LibraryArithmeticScope arithmetic;
    SaturationPressureGrid grid{};
    for (const Segment &s : kSaturationSegments)
        for (int k = s.first; k <= s.last; ++k) {
            grid.point[k] = ExtendedToReal48(SegmentPoint(s, k));
            grid.value[k] = double(Real48ToExtended(grid.point[k]));
            grid.logValue[k] = std::log(Extended(grid.value[k]));
        }
    for (int k = 2; k <= kSaturationGridPoints; ++k) QuarterLogs(grid.value[k - 1], grid.value[k], grid.quarterLog[k]);
    return grid;
}

SinglePhasePressureGrid BuildSinglePhaseGrid() {
    const platform::LibraryArithmeticScope arithmetic;
    SinglePhasePressureGrid grid{};
    for (const Segment &s : kSinglePhaseSegments)
        for (int k = s.first; k <= s.last; ++k) {
            grid.point[k] = float(SegmentPoint(s, k));
            grid.logPoint[k] = std::log(Extended(grid.point[k]));  // -inf at the grid's 0 bar
        }
    for (int k = 2; k <= kSinglePhaseGridPoints; ++k) QuarterLogs(grid.point[k - 1], grid.point[k], grid.quarterLog[k]);
    return grid;
}

namespace {

// Both searches start from a group of pressures (PressureGroupOf) instead
// of searching the whole grid. Each group remembers the first point above
// its lowest double; from there a short scan up finds the first point above
// p, compared exactly. A pressure outside the groups kept, or a NaN, takes
// the binary search. Both grids rise strictly, so either way gives the same
// index as a scan from 1.
// Doubles from 2^-7 (below 0.01) up to 2^10 (above 1000).
constexpr int kBuckets = 17 * kPressureGroupsPerOctave;
constexpr double kLowestBucketed = 0x1p-7;
constexpr double kAboveBuckets = 0x1p10;

template <typename Point>
struct BucketStarts {
    std::uint16_t start[kBuckets];
    // The first index whose point exceeds each bucket's lowest double.
    BucketStarts(const Point *points, int count) {
        const platform::LibraryArithmeticScope arithmetic;
        int k = 1;
        for (int b = 0; b < kBuckets; ++b) {
            while (k <= count && !(Extended(PressureGroupLow(b)) < Extended(points[k]))) ++k;
            start[b] = std::uint16_t(k);
        }
    }
};

// The scan is short: either grid has at most one point above a bucket's
// lowest double within the bucket. Its branches are mostly predicted, which
// makes it faster than a scan without branches over a fixed count, whose
// loads wait for each other.
template <typename Point>
int FirstPointAbove(const Point *points, int count, const BucketStarts<Point> &buckets, Extended p) {
    const double d = double(p);
    if (!(d >= kLowestBucketed && d < kAboveBuckets)) {
        const Point *found = std::upper_bound(points + 1, points + count + 1, p,
                                              [](Extended value, Point point) { return value < point; });
        return found == points + count + 1 ? count : int(found - points);
    }
    int k = buckets.start[PressureGroupOf(d)];
    // The double may have rounded p up into the next bucket.
    while (k > 1 && p < points[k - 1]) --k;
    while (k <= count && !(p < points[k])) ++k;
    return k > count ? count : k;
}

// Built when the library is loaded and only read afterwards, so that the
// searches need no check for a first use.
const SaturationPressureGrid &gSaturationGrid = SaturationPressures();
const SinglePhasePressureGrid &gSinglePhaseGrid = SinglePhasePressures();
const BucketStarts<double> gSaturationBuckets(gSaturationGrid.value, kSaturationGridPoints);
const BucketStarts<float> gSinglePhaseBuckets(gSinglePhaseGrid.point, kSinglePhaseGridPoints);

}  // namespace

int FirstSaturationPointAbove(Extended p) {
    return FirstPointAbove(gSaturationGrid.value, kSaturationGridPoints, gSaturationBuckets, p);
}

int FirstSinglePhasePointAbove(Extended p) {
    return FirstPointAbove(gSinglePhaseGrid.point, kSinglePhaseGridPoints, gSinglePhaseBuckets, p);
}

}  // namespace rudid
