#include "tables/cell_facts.h"

#include <algorithm>
#include <cmath>

#include "common/failure.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_pressure.h"
#include "tables/state_flags.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

// Three points (x, y); the magnitude of their second divided difference.
Extended Bend(Extended x0, Extended y0, Extended x1, Extended y1, Extended x2, Extended y2) {
    if (x0 == x1 || x1 == x2 || x0 == x2) return 0;
    const Extended d = ((y2 - y1) / (x2 - x1) - (y1 - y0) / (x1 - x0)) / (x2 - x0);
    return std::isfinite(d) ? std::fabs(d) : 0;
}

// The pressures along which a value is interpolated, a and b, and a
// neighbour n on either side ([0] below, [1] above): the logarithms, and
// the reciprocals of their differences, worked out once for every column
// and entry that bends along them.
struct PressureStencil {
    Extended logA = 0, logB = 0;
    Extended quarterLog[2] = {};  // a quarter and three quarters of the way from a to b
    Extended inverseAB = 0;
    bool neighbour[2] = {};
    Extended logN[2] = {}, inverseNB[2] = {}, inverseNA[2] = {};
};

// la, lb: the logarithms of the pressures; quarter: of the pressures a
// quarter and three quarters of the way (the grid's quarterLog); ln[i] a
// neighbour's, where present.
PressureStencil StencilAlong(Extended la, Extended lb, const Extended *quarter, const bool *present,
                             const Extended *ln) {
    PressureStencil s;
    s.logA = la, s.logB = lb;
    s.quarterLog[0] = quarter[0];
    s.quarterLog[1] = quarter[1];
    s.inverseAB = 1 / (lb - la);
    for (int i = 0; i < 2; ++i) {
        s.neighbour[i] = present[i] && ln[i] != la && ln[i] != lb && la != lb;
        if (!s.neighbour[i]) continue;
        s.logN[i] = ln[i];
        s.inverseNB[i] = 1 / (ln[i] - lb);
        s.inverseNA[i] = 1 / (ln[i] - la);
    }
    return s;
}

// How far interpolation linear in pressure between a and b may lie from the
// value, taken as the parabola in ln p through a, b and neighbour i: as a
// multiple of w (1 - w), w the weight between a and b, at a quarter and at
// three quarters (PressureBends). Values that follow ln p or 1/p, as
// vapour's entropy and volume do, bend little in ln p: the straight line in
// p is what bends.
void PressureBend(const PressureStencil &s, int i, Extended ya, Extended yb, Extended yn, PressureBends *bends) {
    if (!s.neighbour[i]) return;
    const Extended ab = (yb - ya) * s.inverseAB;
    const Extended curve = ((yn - yb) * s.inverseNB[i] - ab) * s.inverseNA[i];
    for (int q = 0; q < 2; ++q) {
        const Extended w = q == 0 ? 0.25L : 0.75L;
        const Extended at = s.quarterLog[q];
        const Extended bent = ya + ab * (at - s.logA) + curve * (at - s.logA) * (at - s.logB);
        // w (1 - w) is 3/16 at both.
        const Extended error = std::fabs(bent - (ya + w * (yb - ya))) * (16.0L / 3);
        if (std::isfinite(error)) bends->bend[q] = std::max(bends->bend[q], float(error));
    }
}

// Whether the parabola through two neighbouring entries' values and a third
// one entry beyond either turns between the two: the step between them is
// smaller than half the second difference of the three.
bool TurnsBetween(Extended y1, Extended y2, Extended secondDifference) {
    return std::fabs(y2 - y1) < std::fabs(secondDifference) / 2;
}

// One isobar of the single-phase table, with the saturated state at its
// pressure where it lies below the critical pressure.
struct IsobarAt {
    bool present = false;
    Extended pressure = 0, logPressure = 0;
    const std::uint8_t *bytes = nullptr;
    bool belowCritical = false;
    Extended saturationTemperature = 0;
    Extended saturated[kSaturationFields] = {};

    Extended at(int entry, int column) const { return SingleAt(bytes, kEntryValues * entry + column); }
    bool Liquid(int entry) const {
        const Extended t = kEntryStep * entry;
        return belowCritical ? t < saturationTemperature : t < kCriticalTemperature;
    }
};

// scratch: room for the isobar's bytes where the source does not hold them.
// allFields: the saturated state's every field, not only its temperature
// (a neighbour of the pair needs only the phase of its entries).
void ReadIsobar(const TableSource &tables, int j, IsobarAt *isobar, std::uint8_t *scratch, bool allFields = true) {
    if (j < 1 || j > kSinglePhaseGridPoints) return;
    const ByteSpan span{std::uint64_t(j - 1) * kIsobarSize, kIsobarSize};
    isobar->bytes = SpanBytes(tables, Table::SinglePhase, span, scratch);
    isobar->pressure = SinglePhasePressures().point[j];
    isobar->logPressure = SinglePhasePressures().logPoint[j];
    isobar->belowCritical = isobar->pressure <= kCriticalPressure;
    if (isobar->belowCritical) {
        // The lowest isobar lies at the saturation table's first point.
        const Extended p = std::max(isobar->pressure, Extended(SaturationPressures().value[1]));
        const SaturationPoint sat = SaturationAtPressure(tables, p);
        for (int f = 0; f < (allFields ? kSaturationFields : 1); ++f) isobar->saturated[f] = sat.field(f);
        isobar->saturationTemperature = isobar->saturated[kSaturationLevel];
    }
    isobar->present = true;
}

// A neighbour only sharpens an estimate: one the tables cannot give is left
// out.
void ReadNeighbour(const TableSource &tables, int j, IsobarAt *isobar, std::uint8_t *scratch) {
    try {
        ReadIsobar(tables, j, isobar, scratch, false);
    } catch (const LibraryFailure &) {
        isobar->present = false;
    }
}

// The isobars j - 2 .. j + 1 around the pair j - 1, j, with what the
// saturation line does between the pair's pressures: the range of its
// temperature and the largest error of that temperature's interpolation.
struct IsobarsAround {
    IsobarAt isobar[4];
    PressureStencil stencil;
    // Known once a cell's quiet bit is first worked out (LineBetween).
    bool lineKnown = false;
    bool lineBetween = false;  // the lower isobar lies below the critical pressure
    Extended lineLow = 0, lineHigh = 0, lineError = 0;
};

void LineBetween(const FactSource &source, IsobarsAround *around) {
    const IsobarAt &low = around->isobar[1], &high = around->isobar[2];
    around->lineKnown = true;
    around->lineBetween = low.belowCritical;
    if (!low.belowCritical) return;
    around->lineLow = low.saturationTemperature;
    around->lineHigh = high.belowCritical ? high.saturationTemperature : kCriticalTemperature;
    const Extended top = std::min(high.pressure, kCriticalPressure);
    const int first = FirstSaturationPointAbove(std::max(low.pressure, Extended(SaturationPressures().value[1])));
    for (int r = first - 2; r <= FirstSaturationPointAbove(top) - 2; ++r) {
        SaturationFacts scratch;
        const SaturationFacts &facts = SaturationIntervalAt(source, r, 1u << kSaturationLevel, &scratch);
        around->lineError = std::max(around->lineError, facts.across[kSaturationLevel].Largest());
    }
}

// Returns whether the source holds all four isobars' bytes, so that the
// pointers stay good beyond scratch.
using IsobarScratch = std::uint8_t[4][kIsobarSize];
bool ReadAround(const TableSource &tables, int j, IsobarsAround *around, IsobarScratch &scratch) {
    ReadNeighbour(tables, j - 2, &around->isobar[0], scratch[0]);
    ReadIsobar(tables, j - 1, &around->isobar[1], scratch[1]);
    ReadIsobar(tables, j, &around->isobar[2], scratch[2]);
    ReadNeighbour(tables, j + 1, &around->isobar[3], scratch[3]);
    const IsobarAt *is = around->isobar;
    const bool present[2] = {is[0].present, is[3].present};
    const Extended logN[2] = {is[0].logPressure, is[3].logPressure};
    around->stencil =
        StencilAlong(is[1].logPressure, is[2].logPressure, SinglePhasePressures().quarterLog[j], present, logN);
    bool held = true;
    for (int i = 0; i < 4; ++i) held = held && (!is[i].present || is[i].bytes != scratch[i]);
    return held;
}

// The cell lies outside the critical box, its corners are of one phase,
// and the saturation line with its margin stays clear of it.
bool Settled(const IsobarsAround &around, int e, const CellFacts &cell) {
    if (cell.critical || (cell.liquid != 0 && cell.liquid != 0xF)) return false;
    const Extended t0 = kEntryStep * e, t1 = t0 + kEntryStep;
    if (!around.lineBetween) return true;
    const Extended clear = std::max(t0 - around.lineHigh, around.lineLow - t1);
    return clear > kSaturationMarginFactor * around.lineError + kSaturationMarginFloor + 1e-6L;
}

// The corners of column c in the cell: the smallest scale of a value
// between them, and the largest magnitude.
Extended SmallestScaleOfCell(const IsobarsAround &around, int e, int c) {
    Extended least = INFINITY, most = -INFINITY;
    for (int i : {1, 2})
        for (int n : {e, e + 1}) {
            const Extended y = around.isobar[i].at(n, c);
            least = std::min(least, y), most = std::max(most, y);
        }
    const Extended floor = c == kEnthalpyColumn ? kEnthalpyScale : c == kEntropyColumn ? kEntropyScale : 0;
    return least <= 0 && most >= 0 ? floor : std::max(floor, std::min(std::fabs(least), std::fabs(most)));
}
Extended LargestOfCell(const IsobarsAround &around, int e, int c) {
    Extended most = 0;
    for (int i : {1, 2})
        for (int n : {e, e + 1}) most = std::max(most, std::fabs(around.isobar[i].at(n, c)));
    return most;
}

// The largest error of the column's interpolation anywhere in the cell
// (away from the saturation line): across the isobars, and along them at
// the middle of the interval.
Extended LargestError(const CellFacts &cell) {
    const Extended half = kEntryStep / 2;
    return std::max(cell.acrossIsobars[0].Largest(), cell.acrossIsobars[1].Largest()) +
           std::max(std::fabs(cell.alongIsobar[0]), std::fabs(cell.alongIsobar[1])) * half * half;
}

// Whether no state of the cell can be flagged (CellFacts::quiet). The
// margins stand far above the rounding of the rows' own estimates.
bool Quiet(const IsobarsAround &around, int e, int c, const CellFacts &cell) {
    return Settled(around, e, cell) &&
           LargestError(cell) < kCoarseShare * SmallestScaleOfCell(around, e, c) * (1 - 1e-6L);
}

void CornerFacts(const IsobarsAround &around, int e, CellFacts *cell) {
    const IsobarAt &low = around.isobar[1], &high = around.isobar[2];
    for (int i = 0; i < 2; ++i)
        for (int n = 0; n < 2; ++n)
            if (around.isobar[1 + i].Liquid(e + n)) cell->liquid |= std::uint8_t(1u << (2 * i + n));
    const Extended t0 = kEntryStep * e, t1 = t0 + kEntryStep;
    cell->critical = high.pressure >= kCriticalBoxLowPressure && low.pressure <= kCriticalBoxHighPressure &&
                     t1 >= kCriticalBoxLowTemperature && t0 <= kCriticalBoxHighTemperature;
}

// Column c across the pair's isobars at one entry.
PressureBends AcrossAt(const IsobarsAround &around, int entry, int c) {
    const IsobarAt &low = around.isobar[1], &high = around.isobar[2];
    PressureBends bends{};
    for (int i = 0; i < 2; ++i) {
        const IsobarAt &other = around.isobar[3 * i];
        if (other.present && other.Liquid(entry) == low.Liquid(entry))
            PressureBend(around.stencil, i, low.at(entry, c), high.at(entry, c), other.at(entry, c), &bends);
    }
    return bends;
}

// Column c along one isobar in the interval from entry e, where both its
// entries are of one phase: the second divided difference of the larger
// magnitude with either neighbour of that phase (0 with none); false where
// the line crosses the interval.
bool AlongOne(const IsobarAt &is, int e, int c, Extended *bend, bool *turns) {
    const bool liquid0 = is.Liquid(e);
    if (is.Liquid(e + 1) != liquid0) return false;
    const Extended y0 = is.at(e, c), y1 = is.at(e + 1, c);
    *bend = 0;
    for (int m : {e - 1, e + 2}) {
        if (m < 0 || m >= kIsobarEntries || is.Liquid(m) != liquid0) continue;
        const Extended ym = is.at(m, c);
        const Extended second = m < e ? ym - 2 * y0 + y1 : y0 - 2 * y1 + ym;
        const Extended d = second * (1.0L / (2 * kEntryStep * kEntryStep));
        if (std::isfinite(d) && std::fabs(d) > std::fabs(*bend)) *bend = d;
        *turns = *turns || TurnsBetween(y0, y1, second);
    }
    return true;
}

// Beside the line on an isobar whose interval from entry e it crosses: the
// bend of each side ([0] liquid, [1] vapour) between its entry, the one
// beyond it and the saturated state.
void BesideOne(const IsobarAt &is, int e, int c, Extended *beside) {
    if (!is.belowCritical || !is.Liquid(e)) return;
    const Extended t0 = kEntryStep * e, t1 = t0 + kEntryStep;
    const Extended ts = is.saturationTemperature;
    const int f = LiquidFieldOf(c);
    if (e >= 1 && is.Liquid(e - 1))
        beside[0] = std::max(beside[0], Bend(t0 - kEntryStep, is.at(e - 1, c), t0, is.at(e, c), ts, is.saturated[f]));
    if (e + 2 < kIsobarEntries)
        beside[1] = std::max(beside[1],
                             Bend(ts, is.saturated[f + 1], t1, is.at(e + 1, c), t1 + kEntryStep, is.at(e + 2, c)));
}

// Column c along the pair's isobars in the interval from entry e.
void AlongFacts(const IsobarsAround &around, int e, int c, CellFacts *cell) {
    Extended along[2] = {}, beside[2] = {};
    bool known[2], turns = false;
    for (int i = 0; i < 2; ++i) {
        known[i] = AlongOne(around.isobar[1 + i], e, c, &along[i], &turns);
        if (!known[i]) BesideOne(around.isobar[1 + i], e, c, beside);
    }
    // An isobar that the line crosses takes the other's bend.
    for (int i = 0; i < 2; ++i)
        if (!known[i]) along[i] = known[1 - i] ? along[1 - i] : 0;
    cell->alongIsobar[0] = float(along[0]);
    cell->alongIsobar[1] = float(along[1]);
    // Where neither isobar of the pair is crossed, the line crosses the cell
    // between them; the entries' own bend stands in.
    const Extended larger = std::max(std::fabs(along[0]), std::fabs(along[1]));
    for (int side = 0; side < 2; ++side) cell->besideLine[side] = float(beside[side] > 0 ? beside[side] : larger);
    cell->turns = turns;
}

// Column c of the cells from entry first to entry last.
void WorkOut(const IsobarsAround &around, int first, int last, int c, CellFacts *cells) {
    for (int e = first; e <= last; ++e) {
        CornerFacts(around, e, &cells[e - first]);
        AlongFacts(around, e, c, &cells[e - first]);
    }
    // Each entry's bend across the isobars is shared by the cells it bounds.
    for (int entry = first; entry <= last + 1; ++entry) {
        const PressureBends bends = AcrossAt(around, entry, c);
        if (entry > first) cells[entry - 1 - first].acrossIsobars[1] = bends;
        if (entry <= last) cells[entry - first].acrossIsobars[0] = bends;
    }
}

// The cell's quiet bit, with what the saturation line does between the
// pair's pressures the first time a cell of the pair needs it.
void WorkOutQuiet(const FactSource &source, IsobarsAround *around, int e, int c, CellFacts *cell) {
    if (!around->lineKnown) LineBetween(source, around);
    cell->quiet = Quiet(*around, e, c, *cell);
}

struct SaturationRecordAt {
    bool present = false;
    Extended pressure = 0, logPressure = 0;
    float field[kSaturationFields] = {};
};

SaturationRecordAt ReadSaturationRecord(const TableSource &tables, int r) {
    SaturationRecordAt record;
    if (r < 0 || r >= kSaturationGridPoints) return record;
    std::uint8_t bytes[kSaturationRecordSize];
    const ByteSpan span{std::uint64_t(r) * kSaturationRecordSize, kSaturationRecordSize};
    const std::uint8_t *at = SpanBytes(tables, Table::SaturationOnPressureGrid, span, bytes);
    for (int f = 0; f < kSaturationFields; ++f) record.field[f] = SingleAt(at, f);
    record.pressure = SaturationPressures().value[r + 1];
    record.logPressure = SaturationPressures().logValue[r + 1];
    record.present = true;
    return record;
}

// The smallest scale of a value between least and most (a field's scale
// grows with its magnitude, a temperature's with itself).
Extended SmallestScale(int field, Extended least, Extended most) {
    if (field == kSaturationLevel) return FieldScale(field, least);
    if (least <= 0 && most >= 0) return FieldScale(field, 0);
    return std::min(FieldScale(field, least), FieldScale(field, most));
}

// The quiet bits of the fields in mask whose facts are known.
void QuietFields(const SaturationRecordAt &a, const SaturationRecordAt &b, unsigned mask, SaturationFacts *facts) {
    constexpr Extended kClear = kCoarseShare * (1 - 1e-6L);
    for (int f = 0; f < kSaturationFields; ++f) {
        if (!(mask >> f & 1)) continue;
        const Extended least = std::min(a.field[f], b.field[f]), most = std::max(a.field[f], b.field[f]);
        if (facts->across[f].Largest() < kClear * SmallestScale(f, least, most))
            facts->quietField |= std::uint8_t(1u << f);
        if (f + 1 >= kSaturationFields || !(facts->known >> (f + 1) & 1)) continue;
        const Extended leastOfTwo = std::min(least, Extended(std::min(a.field[f + 1], b.field[f + 1])));
        const Extended mostOfTwo = std::max(most, Extended(std::max(a.field[f + 1], b.field[f + 1])));
        const Extended error = std::max(facts->across[f].Largest(), facts->across[f + 1].Largest());
        if (error < kClear * SmallestScale(f, leastOfTwo, mostOfTwo)) facts->quietMixture |= std::uint8_t(1u << f);
    }
}

// Works out the fields in mask that facts does not know yet (a liquid
// field brings its vapour field along, for the mixtures' quiet bits).
void WorkOutInterval(const TableSource &tables, int r, unsigned mask, SaturationFacts *facts) {
    for (int f = kLiquidVolume; f < kSaturationFields; f += 2)
        if (mask >> f & 1) mask |= 1u << (f + 1);
    mask &= ~unsigned(facts->known);
    if (!mask) return;
    SaturationRecordAt record[4];
    for (int i = 0; i < 4; ++i) {
        if (i == 1 || i == 2) {
            record[i] = ReadSaturationRecord(tables, r - 1 + i);
            continue;
        }
        try {
            record[i] = ReadSaturationRecord(tables, r - 1 + i);
        } catch (const LibraryFailure &) {
            record[i].present = false;
        }
    }
    const bool present[2] = {record[0].present, record[3].present};
    const Extended logN[2] = {record[0].logPressure, record[3].logPressure};
    const PressureStencil stencil = StencilAlong(record[1].logPressure, record[2].logPressure,
                                                 SaturationPressures().quarterLog[r + 2], present, logN);
    for (int f = 0; f < kSaturationFields; ++f) {
        if (!(mask >> f & 1)) continue;
        facts->across[f] = PressureBends{};
        for (int i = 0; i < 2; ++i)
            PressureBend(stencil, i, record[1].field[f], record[2].field[f], record[3 * i].field[f], &facts->across[f]);
    }
    facts->known |= std::uint8_t(mask);
    QuietFields(record[1], record[2], mask, facts);
}

}  // namespace

// What a memo knows of a pair of isobars: the isobars around it, as bytes
// the source holds, and the cells of each column worked out so far.
struct PairFacts {
    IsobarsAround around;
    // Room for a column's cells once a row asks for one of them, left
    // unwritten until each is worked out.
    std::unique_ptr<CellFacts[]> cell[kEntryValues];
    // kFacts: worked out; kQuiet: with its quiet bit too.
    std::uint8_t known[kEntryValues][kIsobarEntries - 1] = {};
};

namespace {
enum : std::uint8_t { kNothing = 0, kFacts = 1, kQuiet = 2 };
}  // namespace

// Whether no temperature, second or third property that the inverse lookup
// keyed by column `key` interpolates in the cell can be flagged: the cell
// is settled, the key runs one way along both isobars (so that it decides
// the temperature), and the largest errors allow no coarse answer. The
// temperature's error is the key's over its smallest step between the
// entries, and an output's is its own plus its largest step times that.
// The lookup rounds the values at its pressure to singles: a step there
// may differ from the isobars' by 2^-22 of the largest value.
bool InverseQuietCell(const FactSource &source, IsobarsAround &around, int j, int e, int key, int second,
                      int third) {
    CellFacts scratch;
    const CellFacts &keyCell = CellAt(source, j, e, key, &scratch, false);
    if (!around.lineKnown) LineBetween(source, &around);
    if (keyCell.turns || !Settled(around, e, keyCell)) return false;
    const IsobarAt &low = around.isobar[1], &high = around.isobar[2];
    const auto step = [&](const IsobarAt &is, int c) { return is.at(e + 1, c) - is.at(e, c); };
    const Extended dLow = step(low, key), dHigh = step(high, key);
    if (!(dLow * dHigh > 0)) return false;
    const Extended dMin = std::min(std::fabs(dLow), std::fabs(dHigh)) - 0x1p-22L * LargestOfCell(around, e, key);
    if (!(dMin > 0)) return false;
    constexpr Extended kClear = kCoarseShare * (1 - 1e-6L);
    const Extended temperatureError = kEntryStep * LargestError(keyCell) / dMin;
    if (!(temperatureError < kClear * (kEntryStep * e + kCelsiusZero))) return false;
    for (int c : {second, third}) {
        const CellFacts &cell = CellAt(source, j, e, c, &scratch, false);
        const Extended dy = std::max(std::fabs(step(low, c)), std::fabs(step(high, c))) +
                            0x1p-22L * LargestOfCell(around, e, c);
        if (!(LargestError(cell) + dy / kEntryStep * temperatureError < kClear * SmallestScaleOfCell(around, e, c)))
            return false;
    }
    return true;
}

void LearnInverseQuiet(const FactSource &source, int j, int e, int key, int second, int third) {
    FlagFacts *memo = source.memo;
    if (!memo->lasting) return;
    const std::uint64_t bit = std::uint64_t(1) << (e & 63);
    std::uint64_t &seen = memo->inverseSeen[key][j][e >> 6];
    // Worth it once a second row reaches the cell, as the quiet bit.
    if (!(seen & bit)) {
        seen |= bit;
        return;
    }
    std::uint64_t &tried = memo->inverseTried[key][j][e >> 6];
    if (tried & bit) return;
    tried |= bit;
    if (!memo->pair[j]) return;  // isobars the source does not hold
    if (InverseQuietCell(source, memo->pair[j]->around, j, e, key, second, third))
        memo->inverseQuietCells[key][j][e >> 6] |= bit;
}

FlagFacts::FlagFacts() = default;
FlagFacts::~FlagFacts() = default;

const CellFacts &CellAt(const FactSource &source, int j, int e, int column, CellFacts *scratch, bool quiet) {
    const TableSource &tables = source.tables;
    FlagFacts *memo = source.memo;
    std::unique_ptr<PairFacts> *pair = memo ? &memo->pair[j] : nullptr;
    if (pair && *pair && (*pair)->known[column][e] != kNothing) {
        // The quiet bit lets the rows of a cell skip their own checks: worth
        // working out once a second row that reads it reaches the cell.
        PairFacts &facts = **pair;
        if (quiet && facts.known[column][e] == kFacts) {
            WorkOutQuiet(source, &facts.around, e, column, &facts.cell[column][e]);
            facts.known[column][e] = kQuiet;
            if (facts.cell[column][e].quiet) memo->quietCells[column][j][e >> 6] |= std::uint64_t(1) << (e & 63);
        }
        return facts.cell[column][e];
    }
    IsobarScratch bytes;
    if (pair && !*pair) {
        auto read = std::make_unique<PairFacts>();
        // Only isobars the source holds can be remembered.
        if (ReadAround(tables, j, &read->around, bytes)) *pair = std::move(read);
    }
    if (!pair || !*pair) {
        IsobarsAround around;
        ReadAround(tables, j, &around, bytes);
        *scratch = CellFacts{};
        WorkOut(around, e, e, column, scratch);
        return *scratch;
    }
    PairFacts &facts = **pair;
    if (!facts.cell[column]) facts.cell[column].reset(new CellFacts[kIsobarEntries - 1]);
    facts.cell[column][e] = CellFacts{};
    WorkOut(facts.around, e, e, column, &facts.cell[column][e]);
    facts.known[column][e] = kFacts;
    return facts.cell[column][e];
}

const SaturationFacts &SaturationIntervalAt(const FactSource &source, int r, unsigned fields,
                                            SaturationFacts *scratch) {
    SaturationFacts *facts = source.memo ? &source.memo->saturation[r] : scratch;
    if (!source.memo) *facts = SaturationFacts{};
    WorkOutInterval(source.tables, r, fields, facts);
    return *facts;
}

float SaturationRecordField(const TableSource &tables, int r, int f) {
    return ReadSaturationRecord(tables, r).field[f];
}

}  // namespace rudid
