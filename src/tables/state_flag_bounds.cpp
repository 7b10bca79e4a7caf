#include "tables/state_flag_bounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "common/failure.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_pressure.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"
#include "tables/state_flag_rules.h"
#include "tables/state_flags.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

using namespace flag_rules;

// Every bound is widened by this share of itself, and by kSlack of the
// largest value it was worked out from: far beyond the rounding of the
// arithmetic on either side (a few 2^-64 of those values in the exact
// estimate, a few 2^-53 in the bounds, which are worked out in double
// precision from singles).
constexpr double kWiden = 1e-6;
constexpr double kSlack = 1e-9;
// A value of the working isobar is the line between two singles at p,
// rounded to a Real48 and then to a single: within 2^-24 + 2^-40 of its
// size of the line itself.
constexpr double kWorkingRounding = 0x1p-22;
// How far outside its cell's interval a row's temperature may lie: by
// rounding only (an inverse row's temperature is interpolated inside the
// interval that holds its key).
constexpr double kTemperatureSlack = 1e-3;

constexpr int kLastEntry = kIsobarEntries - 1;

// What is known of a cell for the batch's question.
enum : std::uint8_t {
    kCellKnown = 1,
    kCellSettled = 2,   // no flag but the critical one can be raised in the cell
    kCellVapour = 4,    // every table point the estimate reads is vapour
    kCellCritical = 8,  // the cell reaches into the critical box
    kCellRowBound = 16, // settled but for the coarse grid, which a row's own bound may settle
    // Below the critical pressure, the bracket's points are not of one
    // phase: every row beside no saturated anchor is a mixed-phase cell,
    // whose grid is never judged; only the saturation margin is left.
    kCellMixedBracket = 32,
    // Settled (or row-bound) but for the saturation margin, which each row
    // below the critical pressure decides from its own distance.
    kCellNearLine = 64,
};
// Whether an isobar or a saturation interval can be bounded.
enum : std::uint8_t { kNotYet = 0, kUsable = 1, kUnusable = 2 };

// How far the estimate's bend along pressure can reach between the
// bracket's pressures. The estimate takes the distance between the line in
// p and a parabola in ln p through the bracket and a neighbour. That
// parabola less the line in ln p is c (s - s1)(s - s2) in s = ln p, which is
// |c| (s2 - s1)^2 w (1 - w) in size, w = (s - s1)/(s2 - s1); the line in ln p
// lies above the line in p by (y2 - y1) g, g = w - (p - p1)/(p2 - p1),
// which is largest at p = (p2 - p1)/(s2 - s1).
struct PressureBend {
    double chord = 0;  // |y2 - y1|
    double curve = 0;  // the largest |c| (s2 - s1)^2 of the neighbours
    double gap = 0;    // the largest g
    double size = 0;   // the largest magnitude of the values
};

// The four pressures of such a stencil ([1] and [2] the bracket, [0] and
// [3] the neighbours where the grid has them), worked out once for all the
// values taken at them.
struct Geometry {
    bool bracket = false;  // a bracket that rises: otherwise the estimate finds no bend
    double gap = 0, perStep = 0, step2 = 0;  // g at its largest, 1/(s2 - s1), (s2 - s1)^2
    bool neighbour[2] = {};  // [0] and [3]: present, and apart from the bracket
    double toUpper[2] = {}, toLower[2] = {};  // 1/(s_n - s2), 1/(s_n - s1)
};

Geometry GeometryOf(const Extended x[4], const Extended logX[4], const bool present[4]) {
    Geometry g;
    if (!present[1] || !present[2] || !(x[2] > x[1])) return g;
    g.bracket = true;
    const Extended ds = logX[2] - logX[1], dx = x[2] - x[1];
    const Extended at = dx / ds;
    g.gap = double(std::fabs((std::log(at) - logX[1]) / ds - (at - x[1]) / dx));
    g.perStep = double(1 / ds);
    g.step2 = double(ds * ds);
    for (int side = 0; side < 2; ++side) {
        const int n = side * 3;
        if (!present[n] || x[n] == x[1] || x[n] == x[2]) continue;
        g.neighbour[side] = true;
        g.toUpper[side] = double(1 / (logX[n] - logX[2]));
        g.toLower[side] = double(1 / (logX[n] - logX[1]));
    }
    return g;
}

// The values y at the geometry's pressures; use[side] leaves a neighbour
// out as the estimate leaves it out. The reciprocals differ from the
// estimate's quotients by a few 2^-64, far within the widening.
PressureBend BendAlongPressure(const Geometry &g, const double y[4], const bool use[2]) {
    PressureBend b;
    if (!g.bracket) return b;
    b.gap = g.gap;
    b.chord = std::fabs(y[2] - y[1]);
    b.size = std::max(std::fabs(y[1]), std::fabs(y[2]));
    const double slope = (y[2] - y[1]) * g.perStep;
    for (int side = 0; side < 2; ++side) {
        if (!g.neighbour[side] || !use[side]) continue;
        const int n = side * 3;
        const double c = ((y[n] - y[2]) * g.toUpper[side] - slope) * g.toLower[side];
        b.curve = std::max(b.curve, std::fabs(c) * g.step2);
        b.size = std::max(b.size, std::fabs(y[n]));
    }
    return b;
}

// The bend where the gap is g and w (1 - w) is spread (at most 1/4),
// widened.
double BendAt(const PressureBend &b, double g, double spread) {
    return (b.chord * (g + kSlack) + b.curve * (spread + kSlack)) * (1 + kWiden) + kSlack * b.size;
}
double LargestBend(const PressureBend &b) { return BendAt(b, b.gap, 0.25L); }

// The distance from zero of the values between low and high.
double Distance(double low, double high) { return low > 0 ? low : high < 0 ? -high : 0; }

// The bounds of one saturation interval (between records k - 2 and k - 1
// of zarude.dat, for pressures whose first grid point above is k).
struct IntervalBounds {
    double bend[kSaturationFields];  // largest bend along pressure
    float low[kSaturationFields], high[kSaturationFields];  // the fields' values at the bracket's ends
};

// The bounds of a column over a cell: the values at the cell's corners and
// their neighbours along temperature, on both isobars of the bracket.
struct ColumnBounds {
    double error;    // the largest error of the estimate in the cell
    double rise[2];  // value(upper entry) - value(lower entry) on the lower and upper isobar
    double second;   // the largest second difference along temperature, rounding included
    double low, high;  // the corners' values
    double size;       // the largest magnitude read
};

// What a row of a pressure-temperature export needs to bound its own error
// where the cell's bound is not enough: the bend along pressure at each
// entry of the bracket (PressureBend, widened) and along temperature.
struct RowBound {
    double chord[2], curve[2], constant[2];
    double second;  // the largest bend along temperature, at mid-interval
    double size;    // the largest magnitude read
    int beside[2];  // where the anchors beside the interval come from (Neighbours)
};

}  // namespace

// A pair of isobars (PairOf).
struct PairBounds {
    bool usable;     // the isobars of its stencil can be bounded
    Geometry geometry;
    bool lineKnown;  // below the critical pressure, nearLow and nearHigh hold
    double nearLow, nearHigh;  // the temperatures within the estimate's margin of the line, and rounding
};

// Groups of pressures for the saturation exports (GroupOf).
constexpr int kPressureGroups = 15 * kPressureGroupsPerOctave;

struct StateFlagMemo::Facts {
    int question;
    int groupQuestion;
    std::uint8_t group[kPressureGroups];
    std::uint8_t pairState[kSinglePhaseGridPoints + 1];
    std::uint8_t isobarState[kSinglePhaseGridPoints + 1];
    std::uint8_t intervalState[kSaturationGridPoints + 1];
    std::uint8_t cell[(kSinglePhaseGridPoints + 1) * kIsobarEntries];
    // Filled as their states become kUsable.
    // The first entry of each isobar that the estimate takes for vapour:
    // below the critical pressure the first not below the isobar's
    // saturation temperature, above it the first not below the critical
    // temperature.
    int firstVapour[kSinglePhaseGridPoints + 1];
    Extended saturationTemperature[kSinglePhaseGridPoints + 1];  // below the critical pressure
    IntervalBounds interval[kSaturationGridPoints + 1];
    PairBounds pair[kSinglePhaseGridPoints + 1];
    // The row bounds of the cells marked kCellRowBound, where rowBound
    // says; few cells need them.
    std::uint16_t rowBound[(kSinglePhaseGridPoints + 1) * kIsobarEntries];
    std::vector<RowBound> rowBounds;
};

StateFlagMemo::StateFlagMemo() : facts(new Facts) {
    facts->question = -1;
    facts->groupQuestion = -1;
    std::memset(facts->pairState, 0, sizeof facts->pairState);
    std::memset(facts->isobarState, 0, sizeof facts->isobarState);
    std::memset(facts->intervalState, 0, sizeof facts->intervalState);
    std::memset(facts->cell, 0, sizeof facts->cell);
}

StateFlagMemo::~StateFlagMemo() = default;

namespace {

using Facts = StateFlagMemo::Facts;

// The question a batch asks of every cell: the column of a pressure-
// temperature export, or the key and output of an inverse one.
struct Question {
    bool inverse;
    int keyColumn;  // the column of the pressure-temperature export
    int output;     // inverse: 0 temperature, 1 and 2 the other columns, 3 the quality
    int outputColumn;  // inverse outputs 1 and 2, else -1
    int code() const { return (inverse ? 256 : 0) | keyColumn << 4 | output; }
};

double IsobarValue(const std::uint8_t *table, int j, int entry, int column) {
    return SingleAt(table + std::size_t(j - 1) * kIsobarSize, kEntryValues * entry + column);
}

// Isobar j: its values safe, and below the critical pressure the
// saturation temperature that the exact estimate compares its points with.
bool IsobarUsable(Facts &f, const TableSource &tables, const std::uint8_t *table, int j) {
    std::uint8_t &state = f.isobarState[j];
    if (state != kNotYet) return state == kUsable;
    state = kUnusable;
    if (!AllSafeSingles(table + std::size_t(j - 1) * kIsobarSize, kIsobarValues)) return false;
    const Extended pressure = SinglePhasePressures().point[j];
    Extended boundary = kCriticalTemperature;
    if (pressure <= kCriticalPressure) {
        const Extended lowest = SaturationPressures().value[1];
        boundary = SaturationAtPressure(tables, std::max(pressure, lowest)).field(kSaturationLevel);
        f.saturationTemperature[j] = boundary;
    }
    int e = 0;
    while (e < kIsobarEntries && Extended(kEntryStep * e) < boundary) ++e;
    f.firstVapour[j] = e;
    state = kUsable;
    return true;
}

// The phase of the table point at entry on isobar j (usable), exactly as
// the estimate finds it.
Phase PhaseAt(const Facts &f, int j, int entry) {
    return entry < f.firstVapour[j] ? Phase::Liquid : Phase::Vapour;
}

// Saturation interval k (2..292): its four records safe, and its bounds.
bool IntervalUsable(Facts &f, const TableSource &tables, int k) {
    std::uint8_t &state = f.intervalState[k];
    if (state != kNotYet) return state == kUsable;
    state = kUnusable;
    const std::uint8_t *table = CompleteTable(tables, Table::SaturationOnPressureGrid);
    const SaturationPressureGrid &grid = SaturationPressures();
    IntervalBounds &bounds = f.interval[k];
    Extended x[4] = {}, logX[4] = {};
    double y[kSaturationFields][4] = {};
    bool present[4] = {};
    for (int i = 0; i < 4; ++i) {
        const int r = k - 3 + i;
        if (r < 0 || r >= kSaturationGridPoints) continue;
        const std::uint8_t *record = table + std::size_t(r) * kSaturationRecordSize;
        if (!AllSafeSingles(record, kSaturationFields)) return false;
        present[i] = true;
        x[i] = grid.value[r + 1];
        logX[i] = grid.logValue[r + 1];
        for (int field = 0; field < kSaturationFields; ++field) y[field][i] = SingleAt(record, field);
    }
    const Geometry geometry = GeometryOf(x, logX, present);
    const bool both[2] = {true, true};
    for (int field = 0; field < kSaturationFields; ++field) {
        bounds.bend[field] = LargestBend(BendAlongPressure(geometry, y[field], both));
        // Singles of the table.
        bounds.low[field] = float(std::min(y[field][1], y[field][2]));
        bounds.high[field] = float(std::max(y[field][1], y[field][2]));
    }
    state = kUsable;
    return true;
}

// A pair of isobars, upper isobar k: whether the four isobars of its
// stencil can be bounded, the stencil's geometry, and the temperatures
// near the saturation line over its pressures below the critical one.
const PairBounds &PairOf(Facts &f, const TableSource &tables, int k) {
    PairBounds &pair = f.pair[k];
    if (f.pairState[k] != kNotYet) return pair;
    f.pairState[k] = kUnusable;
    const std::uint8_t *table = CompleteTable(tables, Table::SinglePhase);
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    pair.usable = false;
    Extended x[4] = {}, logX[4] = {};
    bool present[4] = {};
    for (int i = 0; i < 4; ++i) {
        const int j = k - 2 + i;
        if (j < 1 || j > kSinglePhaseGridPoints) continue;
        if (!IsobarUsable(f, tables, table, j)) return pair;
        present[i] = true;
        x[i] = grid.point[j];
        logX[i] = grid.logPoint[j];
    }
    pair.geometry = GeometryOf(x, logX, present);
    pair.usable = true;
    // The margin around the line at each pressure is at most twice the
    // interval's largest bend of the temperature, and the line lies between
    // the interval's two records.
    pair.lineKnown = false;
    pair.nearLow = std::numeric_limits<double>::infinity();
    pair.nearHigh = -pair.nearLow;
    if (x[1] <= kCriticalPressure) {
        const int first = std::max(FirstSaturationPointAbove(x[1]), 2);
        const int last = FirstSaturationPointAbove(std::min(x[2], kCriticalPressure));
        for (int j = first; j <= last; ++j) {
            if (!IntervalUsable(f, tables, j)) {
                f.pairState[k] = kUsable;
                return pair;
            }
            const IntervalBounds &b = f.interval[j];
            const double margin = double(kSaturationMarginFactor) * b.bend[kSaturationLevel] +
                                  double(kSaturationMarginFloor);
            pair.nearLow = std::min(pair.nearLow, double(b.low[kSaturationLevel]) - margin - kTemperatureSlack);
            pair.nearHigh = std::max(pair.nearHigh, double(b.high[kSaturationLevel]) + margin + kTemperatureSlack);
        }
        pair.lineKnown = true;
    }
    f.pairState[k] = kUsable;
    return pair;
}

// Whether every state of the pair's cell with a temperature between t0 and
// t1 lies farther from the interpolated saturation line than the
// estimate's margin, at every pressure of the cell below the critical one.
bool FarFromSaturationLine(const PairBounds &pair, Extended t0, Extended t1) {
    return pair.lineKnown && (t1 < pair.nearLow || t0 > pair.nearHigh);
}

// The bend along pressure of a column at an entry, over the bracket of the
// cell whose upper isobar is k; the neighbour isobars of another phase at
// that temperature are left out, as the estimate leaves them out.
PressureBend EntryPressureBend(const Facts &f, const std::uint8_t *table, int k, int entry, int column) {
    const Phase phase = PhaseAt(f, k - 1, entry);
    double y[4] = {};
    bool use[2] = {};
    for (int i = 0; i < 4; ++i) {
        const int j = k - 2 + i;
        if (j < 1 || j > kSinglePhaseGridPoints) continue;
        if ((i == 0 || i == 3) && PhaseAt(f, j, entry) != phase) continue;
        if (i == 0 || i == 3) use[i / 3] = true;
        y[i] = IsobarValue(table, j, entry, column);
    }
    return BendAlongPressure(f.pair[k].geometry, y, use);
}

// Where the estimate takes the anchors beside the cell's interval (the
// entries lower - 1 and lower + 2) from: the entry interpolated between the
// isobars, nowhere, or one isobar's own value at the entry.
constexpr int kOnBothIsobars = 0, kNoAnchor = -1;
struct Neighbours {
    int isobar[2];
};

// A column over the cell between entries lower and lower + 1 and below
// isobar k, where the bracket's table points are of one phase and the
// state lies beside no saturated anchor. Along temperature the anchors are
// then ten degrees apart: the parabola through the bracket and a neighbour
// departs from the chord by at most an eighth of their second difference,
// which is linear in the pressure before rounding and so largest on an
// isobar.
ColumnBounds CellColumn(const Facts &f, const std::uint8_t *table, int k, int lower, int column,
                        const Neighbours &beside, PressureBend bend[2]) {
    ColumnBounds b{};
    b.low = std::numeric_limits<double>::infinity();
    b.high = -b.low;
    double second = 0;
    for (int side = 0; side < 2; ++side) {
        const int j = k - 1 + side;
        auto at = [&](int slot, int e) { return IsobarValue(table, beside.isobar[slot] ? beside.isobar[slot] : j, e, column); };
        const double y1 = IsobarValue(table, j, lower, column), y2 = IsobarValue(table, j, lower + 1, column);
        b.rise[side] = y2 - y1;
        b.low = std::min({b.low, y1, y2});
        b.high = std::max({b.high, y1, y2});
        b.size = std::max({b.size, std::fabs(y1), std::fabs(y2)});
        if (beside.isobar[0] != kNoAnchor) {
            const double y0 = at(0, lower - 1);
            second = std::max(second, std::fabs(y0 - 2 * y1 + y2));
            b.size = std::max(b.size, std::fabs(y0));
        }
        if (beside.isobar[1] != kNoAnchor) {
            const double y3 = at(1, lower + 2);
            second = std::max(second, std::fabs(y1 - 2 * y2 + y3));
            b.size = std::max(b.size, std::fabs(y3));
        }
    }
    b.second = second + 4 * kWorkingRounding * b.size;
    bend[0] = EntryPressureBend(f, table, k, lower, column);
    bend[1] = EntryPressureBend(f, table, k, lower + 1, column);
    b.error = (std::max(LargestBend(bend[0]), LargestBend(bend[1])) + b.second / 8) * (1 + kWiden) + kSlack * b.size;
    return b;
}

// Whether the estimate can find the grid coarse nowhere in the cell. For a
// pressure-temperature export, row receives what a row of the cell needs
// to be bounded on its own where the whole cell cannot be.
bool NeverCoarse(const Facts &f, const std::uint8_t *table, const Question &q, int k, int lower,
                 const Neighbours &beside, RowBound *row) {
    PressureBend bend[2];
    const ColumnBounds key = CellColumn(f, table, k, lower, q.keyColumn, beside, bend);
    if (!q.inverse) {
        for (int i = 0; i < 2; ++i) {
            row->chord[i] = bend[i].chord * (1 + kWiden);
            row->curve[i] = bend[i].curve * (1 + kWiden);
            row->constant[i] = kSlack * (bend[i].chord + bend[i].curve) * (1 + kWiden) + kSlack * bend[i].size;
        }
        row->second = key.second / 8 * (1 + kWiden);
        row->size = key.size;
        row->beside[0] = beside.isobar[0];
        row->beside[1] = beside.isobar[1];
        return key.error < kCoarseShare * ColumnScale(q.keyColumn, Distance(key.low, key.high)) * (1 - kWiden);
    }
    // The key must rise or fall clearly across the interval (a flat one is
    // coarse even for the quality), and but for the quality faster than a
    // parabola through a neighbour could turn it.
    if (!(key.rise[0] * key.rise[1] > 0)) return false;
    const double rounding = 2 * kWorkingRounding * key.size;
    const double leastRise = std::min(std::fabs(key.rise[0]), std::fabs(key.rise[1])) - rounding;
    if (!(leastRise > 0)) return false;
    if (q.output == 3) return true;  // otherwise the quality is never flagged coarse
    if (!(key.second * (1 + kWiden) < 2 * leastRise * (1 - kWiden))) return false;
    const double temperatureError = kEntryStep / leastRise * key.error * (1 + kWiden);
    const double t0 = kEntryStep * lower;
    if (q.outputColumn < 0)
        return temperatureError < kCoarseShare * (t0 - kTemperatureSlack + kKelvinOffset) * (1 - kWiden);
    const ColumnBounds out = CellColumn(f, table, k, lower, q.outputColumn, beside, bend);
    const double largestRise = std::max(std::fabs(out.rise[0]), std::fabs(out.rise[1])) + 2 * kWorkingRounding * out.size;
    const double error = (out.error + largestRise / kEntryStep * temperatureError) * (1 + kWiden);
    return error < kCoarseShare * ColumnScale(q.outputColumn, Distance(out.low, out.high)) * (1 - kWiden);
}

// For a row below the critical pressure the estimate reads the bracket's
// entries, which must be of one phase, and takes the neighbours of that
// phase; fills beside and returns the phase, or false where the row would
// not see the same anchors as a row above the critical pressure in the
// same cell.
bool BracketOfOnePhase(const Facts &f, int k, int lower) {
    const Phase phase = PhaseAt(f, k - 1, lower);
    return PhaseAt(f, k - 1, lower + 1) == phase && PhaseAt(f, k, lower) == phase && PhaseAt(f, k, lower + 1) == phase;
}

bool PhasesOfCell(const Facts &f, int k, int lower, bool rowsAboveCritical, Phase *phase, Neighbours *beside) {
    *phase = PhaseAt(f, k - 1, lower);
    for (int e : {lower, lower + 1})
        if (PhaseAt(f, k - 1, e) != *phase || PhaseAt(f, k, e) != *phase) return false;
    const int entries[2] = {lower - 1, lower + 2};
    for (int slot = 0; slot < 2; ++slot) {
        const int e = entries[slot];
        if (e < 0 || e > kLastEntry) {
            beside->isobar[slot] = kNoAnchor;
        } else if (PhaseAt(f, k - 1, e) == *phase && PhaseAt(f, k, e) == *phase) {
            beside->isobar[slot] = kOnBothIsobars;
        } else {
            if (rowsAboveCritical) return false;
            // Liquid on the upper isobar, vapour on the lower, where the
            // entry may still be of the state's phase.
            const int j = *phase == Phase::Liquid ? k : k - 1;
            beside->isobar[slot] = PhaseAt(f, j, e) == *phase ? j : kNoAnchor;
        }
    }
    return true;
}

// What the bounds say of the cell below isobar k between entries lower and
// lower + 1.
std::uint8_t WorkOutCell(Facts &f, const TableSource &tables, const Question &q, int k, int lower) {
    const std::uint8_t *table = CompleteTable(tables, Table::SinglePhase);
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const Extended p0 = grid.point[k - 1], p1 = grid.point[k];
    const Extended t0 = kEntryStep * lower, t1 = t0 + kEntryStep;
    std::uint8_t code = kCellKnown;
    if (NearCriticalPoint(p0, p1, t0, t1)) code |= kCellCritical;
    const PairBounds &pair = PairOf(f, tables, k);
    if (!pair.usable) return code;
    Neighbours beside{{kOnBothIsobars, kOnBothIsobars}};
    if (lower == 0) beside.isobar[0] = kNoAnchor;
    if (lower + 2 > kLastEntry) beside.isobar[1] = kNoAnchor;
    if (p0 <= kCriticalPressure) {
        // A row below the critical pressure: the estimate looks at the
        // phases of the points it reads and at the saturation line.
        if (!BracketOfOnePhase(f, k, lower))
            return p1 <= kCriticalPressure ? code | kCellMixedBracket : code;
        Phase phase;
        if (!PhasesOfCell(f, k, lower, p1 > kCriticalPressure, &phase, &beside)) return code;
        if (phase == Phase::Vapour) code |= kCellVapour;
        // A pressure-temperature row decides its own distance from the
        // line (NearSaturationOfRow); an inverse row's temperature comes
        // from its key.
        if (!FarFromSaturationLine(pair, t0, t1)) {
            if (q.inverse) return code;
            code |= kCellNearLine;
        }
    }
    const int cell = k * kIsobarEntries + lower;
    RowBound row;
    if (NeverCoarse(f, table, q, k, lower, beside, &row)) return code | kCellSettled;
    if (q.inverse) return code;
    try {
        f.rowBound[cell] = std::uint16_t(f.rowBounds.size());
        f.rowBounds.push_back(row);
    } catch (const std::bad_alloc &) {
        return code;  // left to the exact estimate
    }
    return code | kCellRowBound;
}

std::uint8_t CellCode(StateFlagMemo &memo, const TableSource &tables, const Question &q, int k, int lower) {
    if (k < 2 || k > kSinglePhaseGridPoints || lower < 0 || lower >= kLastEntry) return 0;
    if (!CompleteTable(tables, Table::SinglePhase) || !CompleteTable(tables, Table::SaturationOnPressureGrid))
        return 0;
    Facts &f = *memo.facts;
    if (f.question != q.code()) {
        std::memset(f.cell, 0, sizeof f.cell);
        f.question = q.code();
    }
    std::uint8_t &code = f.cell[k * kIsobarEntries + lower];
    if (code == 0) {
        try {
            code = WorkOutCell(f, tables, q, k, lower);
        } catch (const LibraryFailure &) {
            code = kCellKnown;  // left to the exact estimate
        }
    }
    return code;
}

// The flags of a row in a settled cell: the cell's critical bit. A row
// below the critical pressure must lie on the side of the line that the
// cell's points are on (and not beside a line crossing the cell).
bool FlagsOfCell(std::uint8_t code, const LookupPath &path, unsigned *flags) {
    if (!(code & kCellSettled)) return false;
    if (path.belowCritical && (path.straddling || path.vapour != bool(code & kCellVapour))) return false;
    *flags = code & kCellCritical ? unsigned(kCriticalRegion) : 0u;
    return true;
}

// The saturation flag of a row below the critical pressure at (p, t),
// where the estimate compares the distance from the interpolated
// saturation temperature with twice the bend of the line, and at least
// 0.01 degC; false where the interval's bound leaves it open.
bool NearSaturationOfRow(Facts &f, const TableSource &tables, Extended p, Extended t, unsigned *near) {
    const int k = FirstSaturationPointAbove(p);
    if (k < 2 || !IntervalUsable(f, tables, k)) return false;
    const std::uint8_t *records =
        CompleteTable(tables, Table::SaturationOnPressureGrid) + std::size_t(k - 2) * kSaturationRecordSize;
    const double x0 = SaturationPressures().value[k - 1], x1 = SaturationPressures().value[k];
    const double t0 = SingleAt(records, kSaturationLevel), t1 = SingleAt(records + kSaturationRecordSize, kSaturationLevel);
    // Within a few 2^-40 of the interpolated temperature.
    const double ts = t0 + (t1 - t0) * ((double(p) - x0) / (x1 - x0));
    const double distance = std::fabs(double(t) - ts);
    const double floor = double(kSaturationMarginFloor);
    constexpr double kRounding = 1e-6;
    if (distance < floor - kRounding) {
        *near = kNearSaturation;
        return true;
    }
    *near = 0;
    return distance > double(kSaturationMarginFactor) * f.interval[k].bend[kSaturationLevel] + floor + kRounding;
}

// A point along temperature of the working isobar, as the estimate anchors
// its interpolation.
struct TemperaturePoint {
    double x = 0, y = 0;
    bool present = false;
};

// The anchors of a row beside the saturated state (line) in the cell below
// isobar k, at weight v between the isobars, in double precision: the
// entry on the row's side, the saturated state, and the neighbours that
// the estimate takes.
void StraddlingAnchors(const Facts &f, const std::uint8_t *table, int column, int k, int lower, double v,
                       bool vapour, const TemperaturePoint &line, TemperaturePoint at[4]) {
    const Phase phase = vapour ? Phase::Vapour : Phase::Liquid;
    auto working = [&](int e) {
        const double low = IsobarValue(table, k - 1, e, column), high = IsobarValue(table, k, e, column);
        return low + v * (high - low);
    };
    auto neighbour = [&](int slot, int e) {
        if (e < 0 || e > kLastEntry) return;
        if (PhaseAt(f, k - 1, e) == phase && PhaseAt(f, k, e) == phase) {
            at[slot] = {double(kEntryStep * e), working(e), true};
            return;
        }
        const int one = vapour ? k - 1 : k;  // the isobar where the entry may still be of the row's phase
        if (PhaseAt(f, one, e) == phase) at[slot] = {double(kEntryStep * e), IsobarValue(table, one, e, column), true};
    };
    if (vapour) {
        neighbour(0, lower);
        at[1] = line;
        at[2] = {double(kEntryStep * (lower + 1)), working(lower + 1), true};
        neighbour(3, lower + 2);
    } else {
        neighbour(0, lower - 1);
        at[1] = {double(kEntryStep * lower), working(lower), true};
        at[2] = line;
        if (!at[0].present) neighbour(3, lower + 1);
    }
}

// The flags of a row beside the saturated anchor of a cell that the line
// crosses (a pressure-temperature export below the critical pressure),
// but for the cell's critical bit; false where the bounds leave one open.
// The estimate interpolates along temperature between the entry on the
// row's side and the saturated state, with a neighbour of the row's phase:
// the anchors are approximated here in double precision, and the bend
// they give is widened by its sensitivity to that approximation.
bool StraddlingRowFlags(Facts &f, const TableSource &tables, int column, int k, int lower, Extended p, Extended t,
                        bool vapour, unsigned *flags) {
    unsigned near;
    if (!NearSaturationOfRow(f, tables, p, t, &near)) return false;
    const Phase phase = vapour ? Phase::Vapour : Phase::Liquid;
    const int entry = vapour ? lower + 1 : lower;  // the entry on the row's side
    if (PhaseAt(f, k - 1, entry) != phase || PhaseAt(f, k, entry) != phase) {
        *flags = kMixedPhaseCell | near;
        return true;
    }
    const std::uint8_t *table = CompleteTable(tables, Table::SinglePhase);
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const double pd = double(p), p0 = grid.point[k - 1], p1 = grid.point[k];
    // The saturated state at p (NearSaturationOfRow found its interval usable).
    const int j = FirstSaturationPointAbove(p);
    const std::uint8_t *records =
        CompleteTable(tables, Table::SaturationOnPressureGrid) + std::size_t(j - 2) * kSaturationRecordSize;
    const double x0 = SaturationPressures().value[j - 1], x1 = SaturationPressures().value[j];
    auto saturated = [&](int field) {
        const double low = SingleAt(records, field), high = SingleAt(records + kSaturationRecordSize, field);
        return low + (pd - x0) / (x1 - x0) * (high - low);
    };
    const int field = LiquidFieldOf(column) + (vapour ? 1 : 0);
    TemperaturePoint at[4];
    StraddlingAnchors(f, table, column, k, lower, (pd - p0) / (p1 - p0), vapour,
                      {saturated(kSaturationLevel), saturated(field), true}, at);
    const double width = at[2].x - at[1].x;
    if (!(width > 0.01)) return false;
    double size = 0;
    for (const TemperaturePoint &a : at) size = std::max(size, std::fabs(a.y));
    // The approximated values lie within delta of the estimate's anchors;
    // slack covers the rounding of the saturation temperature and of the
    // arithmetic here, far below a thousandth of the share.
    const double delta = 0x1p-21 * size, slack = 1e-6 * size;
    const double tw = std::clamp(double(t), at[1].x, at[2].x);
    const double spread = (tw - at[1].x) * (at[2].x - tw);
    double bend = 0;
    for (int n : {0, 3}) {
        if (!at[n].present) continue;
        const double toUpper = at[n].x - at[2].x, toLower = at[n].x - at[1].x;
        if (!(std::fabs(toUpper) > 0.5 && std::fabs(toLower) > 0.5)) return false;
        const double c = ((at[n].y - at[2].y) / toUpper - (at[2].y - at[1].y) / width) / toLower;
        const double sensitivity = spread * 2 / std::fabs(toLower) * (1 / std::fabs(toUpper) + 1 / width);
        bend = std::max(bend, std::fabs(c) * spread + sensitivity * delta);
    }
    const double alongPressure =
        std::max(LargestBend(EntryPressureBend(f, table, k, entry, column)), f.interval[j].bend[field]);
    const double value = at[1].y + (at[2].y - at[1].y) * ((tw - at[1].x) / width);
    const double distance = std::max(std::fabs(value) - 2 * delta - slack, 0.0);
    if (!((alongPressure + bend + slack) * (1 + kWiden) < kCoarseShare * ColumnScale(column, distance) * (1 - kWiden)))
        return false;
    *flags = near;
    return true;
}

// Whether the estimate finds the grid fine for the row of a pressure-
// temperature export at (p, t) (moved inside the grid) in a cell marked
// kCellRowBound: the cell's bounds taken at the row's own weights, in
// double precision, which the widening of the bounds covers many times.
bool RowNeverCoarse(const Facts &f, const std::uint8_t *table, int column, int k, int lower, Extended p,
                    Extended t) {
    const RowBound &r = f.rowBounds[f.rowBound[k * kIsobarEntries + lower]];
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const double p0 = grid.point[k - 1], p1 = grid.point[k];
    const double s1 = double(grid.logPoint[k - 1]), s2 = double(grid.logPoint[k]);
    const double pd = double(p), v = (pd - p0) / (p1 - p0), w = (std::log(pd) - s1) / (s2 - s1);
    const double gap = std::max(w - v, 0.0), spread = std::max(w * (1 - w), 0.0);
    const double along = std::max(r.chord[0] * gap + r.curve[0] * spread + r.constant[0],
                                  r.chord[1] * gap + r.curve[1] * spread + r.constant[1]);
    const double u = (double(t) - kEntryStep * lower) / kEntryStep;
    const double error = (along + r.second * (4 * std::max(u * (1 - u), 0.0) + double(kSlack))) * (1 + double(kWiden));
    // The row's value, within a few 2^-24 of the largest value read.
    const double y00 = IsobarValue(table, k - 1, lower, column), y01 = IsobarValue(table, k - 1, lower + 1, column);
    const double y10 = IsobarValue(table, k, lower, column), y11 = IsobarValue(table, k, lower + 1, column);
    const double below = y00 + v * (y10 - y00), above = y01 + v * (y11 - y01);
    const double value = below + u * (above - below);
    const double distance = std::max(std::fabs(value) - 0x1p-20 * r.size, 0.0);
    return error < double(kCoarseShare * ColumnScale(column, distance) * (1 - kWiden));
}

// The estimate's bend at p (log logP) from a stencil of four points in
// double precision: x the pressures, s their logarithms, y the values, [1]
// and [2] the bracket (always present). The larger distance between the
// line in p and a parabola in ln p through the bracket and either present
// neighbour.
double BendInDouble(const double x[4], const double s[4], const double y[4], const bool present[4], double p,
                    double logP) {
    const double w = std::clamp(p, x[1], x[2]);
    const double sw = w == x[1] ? s[1] : w == x[2] ? s[2] : logP;
    const double linear = y[1] + (y[2] - y[1]) * (w - x[1]) / (x[2] - x[1]);
    const double ab = (y[2] - y[1]) / (s[2] - s[1]);
    double bend = 0;
    for (int n : {0, 3}) {
        if (!present[n]) continue;
        const double bc = (y[n] - y[2]) / (s[n] - s[2]);
        const double bent = y[1] + ab * (sw - s[1]) + (bc - ab) / (s[n] - s[1]) * (sw - s[1]) * (sw - s[2]);
        bend = std::max(bend, std::fabs(bent - linear));
    }
    return bend;
}

// The estimate's bend along pressure at p (within the bracket below isobar
// k, log of p logP) of a column at an entry, recomputed in double
// precision from the same stencil; size receives the largest magnitude.
double EntryBendAt(const Facts &f, const std::uint8_t *table, int k, int entry, int column, double p, double logP,
                   double *size) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const Phase phase = PhaseAt(f, k - 1, entry);
    double x[4], s[4], y[4];
    bool present[4] = {};
    for (int i = 0; i < 4; ++i) {
        const int j = k - 2 + i;
        if (j < 1 || j > kSinglePhaseGridPoints || ((i == 0 || i == 3) && PhaseAt(f, j, entry) != phase)) continue;
        present[i] = true;
        x[i] = grid.point[j];
        s[i] = double(grid.logPoint[j]);
        y[i] = IsobarValue(table, j, entry, column);
        *size = std::max(*size, std::fabs(y[i]));
    }
    return BendInDouble(x, s, y, present, p, logP);
}

// Whether the estimate certainly finds the grid coarse for the row at
// (p, t) (moved inside the grid) of a cell marked kCellRowBound: the
// estimate recomputed in double precision lies clearly above the share.
bool RowCertainlyCoarse(const Facts &f, const std::uint8_t *table, int column, int k, int lower, Extended p,
                        Extended t) {
    const RowBound &r = f.rowBounds[f.rowBound[k * kIsobarEntries + lower]];
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const double pd = double(p), p0 = grid.point[k - 1], p1 = grid.point[k];
    const double v = (pd - p0) / (p1 - p0), logP = std::log(pd);
    auto working = [&](int j, int e) {
        if (j != kOnBothIsobars) return IsobarValue(table, j, e, column);
        const double low = IsobarValue(table, k - 1, e, column), high = IsobarValue(table, k, e, column);
        return low + v * (high - low);
    };
    // Along temperature the anchors are ten degrees apart (RowBound cells).
    const double y1 = working(kOnBothIsobars, lower), y2 = working(kOnBothIsobars, lower + 1);
    const double u = std::clamp((double(t) - kEntryStep * lower) / kEntryStep, 0.0, 1.0);
    double size = std::max(std::fabs(y1), std::fabs(y2)), alongTemperature = 0;
    if (r.beside[0] != kNoAnchor) {
        const double y0 = working(r.beside[0], lower - 1);
        size = std::max(size, std::fabs(y0));
        alongTemperature = std::fabs(y0 - 2 * y1 + y2) / 2 * u * (1 - u);
    }
    if (r.beside[1] != kNoAnchor) {
        const double y3 = working(r.beside[1], lower + 2);
        size = std::max(size, std::fabs(y3));
        alongTemperature = std::max(alongTemperature, std::fabs(y1 - 2 * y2 + y3) / 2 * u * (1 - u));
    }
    const double alongPressure = std::max(EntryBendAt(f, table, k, lower, column, pd, logP, &size),
                                          EntryBendAt(f, table, k, lower + 1, column, pd, logP, &size));
    // The anchors lie within a few 2^-24 of the estimate's; the bend along
    // temperature moves by at most half their error, the rest by rounding.
    const double allowance = 0x1p-19 * size + 1e-9 * size;
    const double value = y1 + u * (y2 - y1);
    const double scale = double(ColumnScale(column, std::fabs(value) + allowance));
    return (alongPressure + alongTemperature - allowance) * (1 - kWiden) > kCoarseShare * scale * (1 + kWiden);
}

// The least scale of a saturation field whose values lie between low and
// high.
Extended ScaleAtLeast(int field, Extended low, Extended high) {
    return field == kSaturationLevel ? low + kKelvinOffset : FieldScale(field, Distance(double(low), double(high)));
}

// The group of a pressure (PressureGroupOf) from 2^-7 (below 0.01 bar) up
// to 2^8 (above 221.2 bar), or -1. The critical box's 200 bar starts a
// group.
int GroupOf(double p) {
    if (!(p >= 0x1p-7 && p < 0x1p8)) return -1;
    return PressureGroupOf(p);
}

// Whether the estimate of a saturation export finds the grid fine at every
// pressure of interval k and every quality (mixture) or for the field
// alone.
bool IntervalNeverCoarse(const IntervalBounds &b, int field, bool mixture) {
    auto fine = [&](double error, double low, double high) {
        return error * (1 + kWiden) < kCoarseShare * ScaleAtLeast(field, low, high) * (1 - kWiden);
    };
    if (!mixture) return fine(b.bend[field], b.low[field], b.high[field]);
    // Both the error and a positive value are linear in the quality (the
    // scale is never below the value): fine against the liquid's and the
    // vapour's least values is fine for every mixture.
    auto below = [&](int f) { return b.low[f] > 0 && b.bend[f] * (1 + kWiden) < kCoarseShare * b.low[f] * (1 - kWiden); };
    if (field != kSaturationLevel && below(field) && below(field + 1)) return true;
    return fine(std::max(b.bend[field], b.bend[field + 1]), std::min(b.low[field], b.low[field + 1]),
                std::max(b.high[field], b.high[field + 1]));
}

// The estimate's bend along pressure of a saturation field at p (within
// the bracket of interval k), recomputed in double precision: the larger
// distance between the line in p and a parabola in ln p through the bracket
// and either neighbour. size receives the largest magnitude read.
double SaturationBendAt(const std::uint8_t *table, int k, double p, double logP, int field, double *size) {
    const SaturationPressureGrid &grid = SaturationPressures();
    double x[4], s[4], y[4];
    bool present[4];
    for (int i = 0; i < 4; ++i) {
        const int r = k - 3 + i;
        present[i] = r >= 0 && r < kSaturationGridPoints;
        if (!present[i]) continue;
        x[i] = grid.value[r + 1];
        s[i] = double(grid.logValue[r + 1]);
        y[i] = SingleAt(table + std::size_t(r) * kSaturationRecordSize, field);
        *size = std::max(*size, std::fabs(y[i]));
    }
    return BendInDouble(x, s, y, present, p, logP);
}

// Whether the estimate of a saturation export finds the grid coarse at
// pressure p with quality q (q < 0: the field alone), from the estimate
// recomputed in double precision where it lies clearly on one side of the
// share; false where it lies too close to tell. Interval k is usable.
bool SaturationRowCoarse(const TableSource &tables, int k, double p, int field, double q, bool *coarse) {
    const std::uint8_t *table = CompleteTable(tables, Table::SaturationOnPressureGrid);
    const double logP = std::log(p);
    double size = 0;
    double error = SaturationBendAt(table, k, p, logP, field, &size);
    const double x0 = SaturationPressures().value[k - 1], x1 = SaturationPressures().value[k];
    const std::uint8_t *below = table + std::size_t(k - 2) * kSaturationRecordSize;
    auto at = [&](int f) {
        const double low = SingleAt(below, f), high = SingleAt(below + kSaturationRecordSize, f);
        return low + (high - low) * ((p - x0) / (x1 - x0));
    };
    double value = at(field);
    if (q >= 0) {
        error = (1 - q) * error + q * SaturationBendAt(table, k, p, logP, field + 1, &size);
        value = (1 - q) * value + q * at(field + 1);
    }
    // Far beyond the rounding of both computations, and of the
    // interpolated fields (a few 2^-40 of the values).
    const double allowance = 1e-9 * size;
    const double least = field == kSaturationLevel ? value - allowance : std::max(std::fabs(value) - allowance, 0.0);
    const double most = field == kSaturationLevel ? value + allowance : std::fabs(value) + allowance;
    const double lowScale = double(field == kSaturationLevel ? least + kKelvinOffset : FieldScale(field, least));
    const double highScale = double(field == kSaturationLevel ? most + kKelvinOffset : FieldScale(field, most));
    if ((error + allowance) * (1 + kWiden) < kCoarseShare * lowScale * (1 - kWiden)) {
        *coarse = false;
        return true;
    }
    if ((error - allowance) * (1 - kWiden) > kCoarseShare * highScale * (1 + kWiden)) {
        *coarse = true;
        return true;
    }
    return false;
}

// What the bounds say of every pressure of a group.
std::uint8_t WorkOutGroup(Facts &f, const TableSource &tables, int group, int field, bool mixture) {
    const double low = PressureGroupLow(group), high = PressureGroupLow(group + 1);
    std::uint8_t code = kCellKnown;
    if (low >= double(kCriticalBoxLowPressure))
        code |= kCellCritical;
    else if (high > double(kCriticalBoxLowPressure))
        return code;
    const int last = FirstSaturationPointAbove(high);
    for (int k = std::max(FirstSaturationPointAbove(low), 2); k <= last; ++k)
        if (!IntervalUsable(f, tables, k) || !IntervalNeverCoarse(f.interval[k], field, mixture)) return code;
    return code | kCellSettled;
}

}  // namespace

bool KnownIsobarSaturation(const StateFlagMemo &memo, int j, Extended *temperature) {
    const Facts &f = *memo.facts;
    if (j < 1 || j > kSinglePhaseGridPoints || f.isobarState[j] != kUsable ||
        !(Extended(SinglePhasePressures().point[j]) <= kCriticalPressure))
        return false;
    *temperature = f.saturationTemperature[j];
    return true;
}

bool SettledPressureTemperatureFlags(StateFlagMemo &memo, const TableSource &tables, int column,
                                     const Extended &pressure, const Extended &temperature, const LookupPath &path,
                                     unsigned *flags) {
    const Question q{false, column, 0, -1};
    std::uint8_t code = CellCode(memo, tables, q, path.isobar, path.lowerEntry);
    if (code == (kCellKnown | kCellSettled) || code == (kCellKnown | kCellSettled | kCellVapour))
        return FlagsOfCell(code, path, flags);  // most rows: nothing of their own to decide
    Extended p = pressure, t = temperature;
    MoveInsideTheGrid(&p, &t);
    if (code & kCellMixedBracket) {
        if (!path.belowCritical) return false;
        unsigned rowFlags;
        if (path.straddling) {
            if (!StraddlingRowFlags(*memo.facts, tables, column, path.isobar, path.lowerEntry, p, t, path.vapour,
                                    &rowFlags))
                return false;
        } else {
            if (!NearSaturationOfRow(*memo.facts, tables, p, t, &rowFlags)) return false;
            rowFlags |= kMixedPhaseCell;
        }
        *flags = rowFlags | (code & kCellCritical ? unsigned(kCriticalRegion) : 0u);
        return true;
    }
    unsigned coarse = 0;
    if (code & kCellRowBound) {
        if (!FlagsOfCell(code | kCellSettled, path, flags)) return false;
        const std::uint8_t *table = CompleteTable(tables, Table::SinglePhase);
        if (!RowNeverCoarse(*memo.facts, table, column, path.isobar, path.lowerEntry, p, t)) {
            if (!RowCertainlyCoarse(*memo.facts, table, column, path.isobar, path.lowerEntry, p, t)) return false;
            coarse = kCoarseGrid;
        }
        code |= kCellSettled;
    }
    if (!FlagsOfCell(code, path, flags)) return false;
    *flags |= coarse;
    if ((code & kCellNearLine) && path.belowCritical) {
        unsigned near;
        if (!NearSaturationOfRow(*memo.facts, tables, p, t, &near)) return false;
        *flags |= near;
    }
    return true;
}

bool SettledInverseFlags(StateFlagMemo &memo, const TableSource &tables, InverseKey key, int output,
                         const LookupPath &path, unsigned *flags) {
    // Wet states, and the quality's critical key above the critical
    // pressure, are left to the exact estimate.
    if (path.twoPhase || (output == 3 && !path.belowCritical)) return false;
    if (path.upperEntry != path.lowerEntry + 1) return false;
    const InverseColumns columns = ColumnsOf(key, output);
    const Question q{true, columns.key, output, columns.output};
    return FlagsOfCell(CellCode(memo, tables, q, path.isobar, path.lowerEntry), path, flags);
}

bool SettledSaturationFlags(StateFlagMemo &memo, const TableSource &tables, const Extended &level, int field,
                            const Extended &quality, unsigned *flags) {
    if (!CompleteTable(tables, Table::SaturationOnPressureGrid)) return false;
    const bool mixture = quality >= 0;
    if (mixture && !(quality <= 1 && field + 1 < kSaturationFields)) return false;
    Facts &f = *memo.facts;
    const int question = field << 1 | int(mixture);
    if (f.groupQuestion != question) {
        std::memset(f.group, 0, sizeof f.group);
        f.groupQuestion = question;
    }
    // A Real48 pressure is a double exactly.
    const int group = GroupOf(double(level));
    if (group < 0) return false;
    std::uint8_t &code = f.group[group];
    if (code == 0) code = WorkOutGroup(f, tables, group, field, mixture);
    if (code & kCellSettled) {
        *flags = code & kCellCritical ? unsigned(kCriticalRegion) : 0u;
        return true;
    }
    // The row's own quality, in its interval.
    const int k = FirstSaturationPointAbove(level);
    if (k < 2 || !IntervalUsable(f, tables, k)) return false;
    const IntervalBounds &b = f.interval[k];
    Extended error = b.bend[field], low = b.low[field], high = b.high[field];
    if (mixture) {
        error = (1 - quality) * b.bend[field] + quality * b.bend[field + 1];
        low = (1 - quality) * b.low[field] + quality * b.low[field + 1];
        high = (1 - quality) * b.high[field] + quality * b.high[field + 1];
    }
    const unsigned critical = level >= kCriticalBoxLowPressure ? unsigned(kCriticalRegion) : 0u;
    if (error * (1 + kWiden) < kCoarseShare * ScaleAtLeast(field, low, high) * (1 - kWiden)) {
        *flags = critical;
        return true;
    }
    bool coarse;
    if (!SaturationRowCoarse(tables, k, double(level), field, mixture ? double(quality) : -1, &coarse)) return false;
    *flags = critical | (coarse ? unsigned(kCoarseGrid) : 0u);
    return true;
}

}  // namespace rudid
