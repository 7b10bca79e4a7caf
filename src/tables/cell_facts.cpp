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

// A point of a value known along pressure: the pressure, its logarithm and
// the value.
struct AlongPressure {
    Extended x, s, y;
};

// How far interpolation linear in pressure between a and b may lie from the
// value, taken as the parabola in ln p through a, b and a neighbour n: as a
// multiple of w (1 - w), w the weight between a and b, at a quarter and at
// three quarters, whose pressures' logarithms are quarterLog (PressureBends).
// Values that follow ln p or 1/p, as vapour's entropy and volume do, bend
// little in ln p: the straight line in p is what bends.
void PressureBend(const AlongPressure &a, const AlongPressure &b, const AlongPressure &n,
                  const Extended *quarterLog, PressureBends *bends) {
    if (n.s == a.s || n.s == b.s || a.s == b.s) return;
    const Extended ab = (b.y - a.y) / (b.s - a.s);
    const Extended curve = ((n.y - b.y) / (n.s - b.s) - ab) / (n.s - a.s);
    for (int i = 0; i < 2; ++i) {
        const Extended w = i == 0 ? 0.25L : 0.75L;
        const Extended s = quarterLog[i];
        const Extended bent = a.y + ab * (s - a.s) + curve * (s - a.s) * (s - b.s);
        const Extended error = std::fabs(bent - (a.y + w * (b.y - a.y))) / (w * (1 - w));
        if (std::isfinite(error)) bends->bend[i] = std::max(bends->bend[i], float(error));
    }
}

// The logarithms of the pressures a quarter and three quarters of the way
// from x0 to x1.
void QuarterLogs(Extended x0, Extended x1, Extended *quarterLog) {
    quarterLog[0] = std::log(x0 + 0.25L * (x1 - x0));
    quarterLog[1] = std::log(x0 + 0.75L * (x1 - x0));
}

// Whether the parabola through (x1, y1), (x2, y2) and a neighbour (xn, yn)
// turns between x1 and x2.
bool TurnsBetween(Extended x1, Extended y1, Extended x2, Extended y2, Extended xn, Extended yn) {
    if (xn == x1 || xn == x2 || x1 == x2) return false;
    const Extended slope = (y2 - y1) / (x2 - x1);
    const Extended c = ((yn - y2) / (xn - x2) - slope) / (xn - x1);
    const Extended half = c * (x2 - x1);
    return (slope - half) * (slope + half) < 0;
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
    std::uint8_t scratch[kIsobarSize];

    Extended at(int entry, int column) const { return SingleAt(bytes, kEntryValues * entry + column); }
    bool Liquid(int entry) const {
        const Extended t = kEntryStep * entry;
        return belowCritical ? t < saturationTemperature : t < kCriticalTemperature;
    }
};

void ReadIsobar(const TableSource &tables, int j, IsobarAt *isobar) {
    if (j < 1 || j > kSinglePhaseGridPoints) return;
    const ByteSpan span{std::uint64_t(j - 1) * kIsobarSize, kIsobarSize};
    isobar->bytes = SpanBytes(tables, Table::SinglePhase, span, isobar->scratch);
    isobar->pressure = SinglePhasePressures().point[j];
    isobar->logPressure = SinglePhasePressures().logPoint[j];
    isobar->belowCritical = isobar->pressure <= kCriticalPressure;
    if (isobar->belowCritical) {
        // The lowest isobar lies at the saturation table's first point.
        const Extended p = std::max(isobar->pressure, Extended(SaturationPressures().value[1]));
        const SaturationPoint sat = SaturationAtPressure(tables, p);
        for (int f = 0; f < kSaturationFields; ++f) isobar->saturated[f] = sat.field(f);
        isobar->saturationTemperature = isobar->saturated[kSaturationLevel];
    }
    isobar->present = true;
}

// A neighbour only sharpens an estimate: one the tables cannot give is left
// out.
void ReadNeighbour(const TableSource &tables, int j, IsobarAt *isobar) {
    try {
        ReadIsobar(tables, j, isobar);
    } catch (const LibraryFailure &) {
        isobar->present = false;
    }
}

// The isobars j - 2 .. j + 1 around the pair j - 1, j.
struct IsobarsAround {
    IsobarAt isobar[4];
    Extended quarterLog[2];
};

void ReadAround(const TableSource &tables, int j, IsobarsAround *around) {
    ReadNeighbour(tables, j - 2, &around->isobar[0]);
    ReadIsobar(tables, j - 1, &around->isobar[1]);
    ReadIsobar(tables, j, &around->isobar[2]);
    ReadNeighbour(tables, j + 1, &around->isobar[3]);
    QuarterLogs(around->isobar[1].pressure, around->isobar[2].pressure, around->quarterLog);
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
    auto point = [&](const IsobarAt &is) { return AlongPressure{is.pressure, is.logPressure, is.at(entry, c)}; };
    PressureBends bends;
    for (int m : {0, 3}) {
        const IsobarAt &other = around.isobar[m];
        if (other.present && other.Liquid(entry) == low.Liquid(entry))
            PressureBend(point(low), point(high), point(other), around.quarterLog, &bends);
    }
    return bends;
}

// Column c along the pair's isobars in the interval from entry e.
void AlongFacts(const IsobarsAround &around, int e, int c, CellFacts *cell) {
    const Extended t0 = kEntryStep * e, t1 = t0 + kEntryStep;
    Extended along = 0, liquidSide = 0, vapourSide = 0;
    bool turns = false;
    for (int i : {1, 2}) {
        const IsobarAt &is = around.isobar[i];
        const bool liquid0 = is.Liquid(e), liquid1 = is.Liquid(e + 1);
        if (liquid0 == liquid1) {
            for (int m : {e - 1, e + 2}) {
                if (m < 0 || m >= kIsobarEntries || is.Liquid(m) != liquid0) continue;
                const Extended tm = kEntryStep * m;
                along = std::max(along, m < e ? Bend(tm, is.at(m, c), t0, is.at(e, c), t1, is.at(e + 1, c))
                                              : Bend(t0, is.at(e, c), t1, is.at(e + 1, c), tm, is.at(m, c)));
                turns = turns || TurnsBetween(t0, is.at(e, c), t1, is.at(e + 1, c), tm, is.at(m, c));
            }
            continue;
        }
        // The line crosses this isobar's interval: each side bends between
        // its entry, the one beyond it and the saturated state.
        if (!is.belowCritical || !liquid0) continue;
        const Extended ts = is.saturationTemperature;
        const int f = LiquidFieldOf(c);
        if (e >= 1 && is.Liquid(e - 1))
            liquidSide =
                std::max(liquidSide, Bend(t0 - kEntryStep, is.at(e - 1, c), t0, is.at(e, c), ts, is.saturated[f]));
        if (e + 2 < kIsobarEntries)
            vapourSide = std::max(vapourSide,
                                  Bend(ts, is.saturated[f + 1], t1, is.at(e + 1, c), t1 + kEntryStep, is.at(e + 2, c)));
    }
    cell->alongIsobar = float(along);
    // Where neither isobar of the pair is crossed, the line crosses the cell
    // between them; the entries' own bend stands in.
    cell->besideLine[0] = float(liquidSide > 0 ? liquidSide : along);
    cell->besideLine[1] = float(vapourSide > 0 ? vapourSide : along);
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

SaturationFacts WorkOutInterval(const TableSource &tables, int r) {
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
    SaturationFacts facts;
    Extended quarterLog[2];
    QuarterLogs(record[1].pressure, record[2].pressure, quarterLog);
    for (int f = 0; f < kSaturationFields; ++f) {
        auto point = [&](const SaturationRecordAt &at) {
            return AlongPressure{at.pressure, at.logPressure, at.field[f]};
        };
        for (int n : {0, 3})
            if (record[n].present)
                PressureBend(point(record[1]), point(record[2]), point(record[n]), quarterLog, &facts.across[f]);
    }
    return facts;
}

}  // namespace

const CellFacts &CellAt(const TableSource &tables, int j, int e, int column, CellFacts *scratch) {
    FlagFacts *memo = tables.flagFacts;
    if (!memo || !memo->pair[j] || !(memo->pair[j]->columns >> column & 1)) {
        IsobarsAround around;
        ReadAround(tables, j, &around);
        if (!memo) {
            *scratch = CellFacts{};
            WorkOut(around, e, e, column, scratch);
            return *scratch;
        }
        // A memo works out the column of the whole pair: its rows' next
        // cells will be along the same isobars.
        std::unique_ptr<PairFacts> &pair = memo->pair[j];
        if (!pair) pair = std::make_unique<PairFacts>();
        WorkOut(around, 0, kIsobarEntries - 2, column, pair->cell[column]);
        pair->columns |= 1u << column;
    }
    return memo->pair[j]->cell[column][e];
}

const SaturationFacts &SaturationIntervalAt(const TableSource &tables, int r, SaturationFacts *scratch) {
    FlagFacts *memo = tables.flagFacts;
    if (!memo) return *scratch = WorkOutInterval(tables, r);
    SaturationFacts &facts = memo->saturation[r];
    if (!facts.known) {
        facts = WorkOutInterval(tables, r);
        facts.known = true;
    }
    return facts;
}

float SaturationRecordField(const TableSource &tables, int r, int f) {
    return ReadSaturationRecord(tables, r).field[f];
}

}  // namespace rudid
