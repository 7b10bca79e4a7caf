#include "tables/pressure_grids.h"

#include <algorithm>

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
    {292, 292, 291, 221.2L, 0.0L},
};

constexpr Segment kSinglePhaseSegments[] = {
    {1, 10, 0, 0.0L, 0.01L},       {11, 30, 10, 0.1L, 0.02L},     {31, 40, 30, 0.5L, 0.05L},
    {41, 60, 40, 1.0L, 0.1L},      {61, 70, 60, 3.0L, 0.2L},      {71, 100, 70, 5.0L, 0.5L},
    {101, 130, 100, 20.0L, 1.0L},  {131, 155, 130, 50.0L, 2.0L},  {156, 175, 155, 100.0L, 5.0L},
    {176, 205, 175, 200.0L, 10.0L}, {206, 220, 205, 500.0L, 20.0L}, {221, 224, 220, 800.0L, 50.0L},
};

Extended SegmentPoint(const Segment &s, int k) { return Extended(k - s.k0) * s.step + s.start; }

SaturationPressureGrid BuildSaturationGrid() {
    SaturationPressureGrid grid{};
    for (const Segment &s : kSaturationSegments)
        for (int k = s.first; k <= s.last; ++k) {
            grid.point[k] = ExtendedToReal48(SegmentPoint(s, k));
            grid.value[k] = Real48ToExtended(grid.point[k]);
        }
    return grid;
}

SinglePhasePressureGrid BuildSinglePhaseGrid() {
    SinglePhasePressureGrid grid{};
    for (const Segment &s : kSinglePhaseSegments)
        for (int k = s.first; k <= s.last; ++k) grid.point[k] = float(SegmentPoint(s, k));
    return grid;
}

}  // namespace

const SaturationPressureGrid &SaturationPressures() {
    static const SaturationPressureGrid grid = BuildSaturationGrid();
    return grid;
}

const SinglePhasePressureGrid &SinglePhasePressures() {
    static const SinglePhasePressureGrid grid = BuildSinglePhaseGrid();
    return grid;
}

// The grids rise strictly, so a binary search finds the same first point
// above p as a scan from index 1 would.
int FirstSaturationPointAbove(Extended p) {
    const Extended *begin = SaturationPressures().value + 1;
    const Extended *end = begin + kSaturationGridPoints;
    const Extended *found = std::upper_bound(begin, end, p);
    if (found == end) return kSaturationGridPoints;
    return int(found - begin) + 1;
}

int FirstSinglePhasePointAbove(Extended p) {
    const float *begin = SinglePhasePressures().point + 1;
    const float *end = begin + kSinglePhaseGridPoints;
    const float *found =
        std::upper_bound(begin, end, p, [](Extended value, float point) { return value < point; });
    if (found == end) return kSinglePhaseGridPoints;
    return int(found - begin) + 1;
}

}  // namespace rudid
