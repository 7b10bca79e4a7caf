// What the state flags know of the tables, worked out once per cell of the
// single-phase table and once per interval of the saturation records, from
// their records and their neighbours'. Every row that falls in a cell reads
// the same facts; a row adds only where in the cell it lies.
//
// A bend is the magnitude of a second divided difference: the parabola
// through the two points of an interval and a neighbour lies
// bend * (x - x0) * (x1 - x) from the straight line between them, which is
// how far linear interpolation may be off there. Of the two neighbours the
// larger bend counts; a neighbour of another phase than the points it
// would bend is left out (its bend is the saturation line's, not the
// property's).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/real48.h"
#include "tables/pressure_grids.h"
#include "tables/saturation_state.h"
#include "tables/single_phase_table.h"
#include "tables/table_source.h"

namespace rudid {

// How far a value interpolated linearly in pressure between two records may
// be off, as a multiple of w (1 - w), w the weight of the pressure between
// them: the multiple at a quarter and at three quarters, followed linearly
// in between and beyond.
struct PressureBends {
    float bend[2];

    Extended At(Extended w) const {
        const Extended multiple = bend[0] + (bend[1] - Extended(bend[0])) * (2 * w - 0.5L);
        return std::max(Extended(0), multiple) * w * (1 - w);
    }
    // The largest of At over the interval.
    Extended Largest() const {
        const Extended step = bend[1] - Extended(bend[0]);
        return std::max({Extended(0), bend[0] - step / 2, bend[0] + 1.5L * step}) / 4;
    }
};

// One column of the cell between isobars j - 1 and j and entries e and
// e + 1. Plain: a memo makes room for a column's cells without writing
// them; CellFacts{} is the cell with nothing worked out.
struct CellFacts {
    // Bit 2 * i + n: the point on isobar j - 1 + i at entry e + n is
    // liquid-like (below the saturation temperature of its isobar; above the
    // critical pressure, below the critical temperature).
    std::uint8_t liquid;
    bool critical;  // the cell reaches into the box around the critical point
    // The column turns inside the interval on one of the isobars, so that
    // its value does not decide the temperature.
    bool turns;
    // No state of the cell can be flagged for a pressure-temperature answer
    // of the column: the cell lies outside the critical box, its corners
    // are of one phase, the saturation line with its margin stays clear of
    // it, and the largest error its bends allow stays below the coarse
    // share of the smallest answer it can give. Worked out only once a
    // second row of a call that reads it reaches the cell (false until
    // then), since it saves nothing for one row. Pressure-temperature rows
    // read it; the inverse rows do not.
    bool quiet;
    // Across the isobars, at entry e + n.
    PressureBends acrossIsobars[2];
    // Along the lower [0] and upper [1] isobar, between entries of one
    // phase: the signed second divided difference (per degC squared), so
    // that a row weighs them as it interpolates between the isobars.
    float alongIsobar[2];
    // The magnitude of the same beside the saturation line, where the line
    // crosses the cell: between the liquid entry e and the saturated liquid
    // [0], or between the saturated vapour and the vapour entry e + 1 [1].
    float besideLine[2];

    bool Liquid(int isobar, int entry) const { return liquid >> (2 * isobar + entry) & 1; }
};

// The interval between saturation records r and r + 1, per field.
struct SaturationFacts {
    PressureBends across[kSaturationFields];
    // Bit f: no state of the interval can be flagged coarse for field f
    // alone, or for the mixture of fields f and f + 1 (CellFacts::quiet).
    std::uint8_t quietField = 0, quietMixture = 0;
    std::uint8_t known = 0;  // bit f: field f worked out
};

// What a memo knows of a pair of isobars (cell_facts.cpp).
struct PairFacts;

// Facts worked out for one set of table bytes, each cell as a row first
// falls in it. Holds no lock: one call, or one thread's calls, owns it.
struct FlagFacts {
    FlagFacts();
    ~FlagFacts();
    FlagFacts(const FlagFacts &) = delete;
    FlagFacts &operator=(const FlagFacts &) = delete;

    std::unique_ptr<PairFacts> pair[kSinglePhaseGridPoints + 1];
    SaturationFacts saturation[kSaturationGridPoints];
    // Bit e of quietCells[column][j]: the column's cell (j, e) is known to
    // be quiet. A few kilobytes that stay in the cache, so that the rows of
    // a quiet cell, most rows, read nothing else of the memo.
    std::uint64_t quietCells[kEntryValues][kSinglePhaseGridPoints + 1][2] = {};
    bool Quiet(int column, int j, int e) const { return quietCells[column][j][e >> 6] >> (e & 63) & 1; }
    // Whether the memo outlives the call (kept tables): only then does
    // working out the inverse rows' quiet cells, which takes the facts of
    // all three columns, pay.
    bool lasting = false;
    // The same for the temperature, second and third property that the
    // inverse lookup keyed by a column answers in a cell (LearnInverseQuiet),
    // with the cells a row has reached and those worked out.
    std::uint64_t inverseQuietCells[kEntryValues][kSinglePhaseGridPoints + 1][2] = {};
    std::uint64_t inverseSeen[kEntryValues][kSinglePhaseGridPoints + 1][2] = {};
    std::uint64_t inverseTried[kEntryValues][kSinglePhaseGridPoints + 1][2] = {};
    bool InverseQuiet(int key, int j, int e) const { return inverseQuietCells[key][j][e >> 6] >> (e & 63) & 1; }
};

// The records the flags read, and the memo of what is known of them so far
// (null: each cell or interval is worked out afresh into the caller's
// scratch). A memo holds no lock: one call, or one thread's calls, owns it.
struct FactSource {
    const TableSource &tables;
    FlagFacts *memo;
};

// The facts of the cell whose upper isobar is j (2..224) and lower entry e
// (0..79), for one column. From the source's memo where it has one
// (working them out there the first time), else worked out into scratch. Raises the tables' input/output
// failures for the cell's own records; a neighbour that cannot be read is
// left out.
// quiet: the caller reads the quiet bit (else it is left as it is).
const CellFacts &CellAt(const FactSource &source, int j, int e, int column, CellFacts *scratch, bool quiet);

// Notes that a single-phase inverse row keyed by column `key` (its second
// and third properties' columns given) reached cell (j, e) of the memo's
// source, and from the second row on works out once whether no such
// answer of the cell can be flagged (FlagFacts::InverseQuiet). Only in a
// lasting memo.
void LearnInverseQuiet(const FactSource &source, int j, int e, int key, int second, int third);

// The same for the interval of saturation records r and r + 1 (0..290),
// at least for the fields asked (a bit each; a liquid field brings its
// vapour field).
const SaturationFacts &SaturationIntervalAt(const FactSource &source, int r, unsigned fields,
                                            SaturationFacts *scratch);

// Field f of saturation record r, as the table holds it.
float SaturationRecordField(const TableSource &tables, int r, int f);

}  // namespace rudid
