// One phase of the isobar through a pressure, as the refined answers
// interpolate it: the table temperatures at which the neighbouring isobars
// of the single-phase table hold that phase, their values carried to the
// pressure, and the saturated state of the phase at the pressure itself.
// Nodes of different phases never meet in one interpolation.
#pragma once

#include <cstdint>

#include "common/real48.h"
#include "tables/refined_saturation.h"
#include "tables/single_phase_table.h"
#include "tables/table_source.h"

namespace rudid {

enum class Phase { Liquid, Vapour, Supercritical };

// The pressure as the refined answers place it among the tables: p, and
// below the critical pressure the saturated state there.
struct RefinedPressure {
    Extended p;
    bool subcritical;
    RefinedSaturation saturation;  // when subcritical
};
RefinedPressure PlacePressure(const TableSource &tables, Extended p);

// A table temperature closer than this to the saturation temperature is
// left out of its phase: the saturated state stands there instead, and two
// nodes so close would turn the tables' rounding into wiggles.
constexpr Extended kSaturationClearance = 3;

// Where a node's values come from: the saturated state at the pressure;
// both isobars at a table temperature; or, where the other isobar has
// crossed the saturation line at that temperature, the isobar of the phase
// and the saturated state of the temperature's own isotherm.
enum class NodeSource : std::uint8_t { Saturation, Isobars, Isotherm };

// Up to the 81 table temperatures and the saturated state, rising in
// temperature; value[column][i] with the columns of the table (v, h, s),
// for the columns filled.
constexpr int kMaxPhaseNodes = kIsobarEntries + 1;
struct PhaseNodes {
    int count = 0;
    Extended t[kMaxPhaseNodes];
    Extended value[kEntryValues][kMaxPhaseNodes];
    // How to fill further columns of a node.
    NodeSource source[kMaxPhaseNodes];
    std::uint8_t entry[kMaxPhaseNodes];
    Extended isothermPressure[kMaxPhaseNodes];            // Isotherm nodes
    Extended isothermValue[kMaxPhaseNodes][kEntryValues];  // Isotherm nodes
    Extended saturated[kEntryValues];                      // of the phase, at p
    Extended p, p0, p1, w, logShift;
    bool vapour;
    const std::uint8_t *low, *high;  // the two isobars, 81 entries each
    std::uint8_t scratch[2 * kIsobarSize];
};

// The nodes of `phase` at the placed pressure (Supercritical above the
// critical pressure), of the table temperatures from tMin to tMax only,
// with the columns of the mask (1 << column) filled. A cubic takes its
// nodes from within 30 degC of its interval, so nodes from 50 degC around
// a temperature give it the same cubic as all of them. Raises the tables'
// input/output failures.
constexpr Extended kStencilReach = 50;
void BuildPhaseNodes(const TableSource &tables, RefinedPressure &place, Phase phase, Extended tMin, Extended tMax,
                     unsigned columns, PhaseNodes *nodes);

// Fills a column for nodes first .. first + count - 1.
void FillColumn(PhaseNodes *nodes, int column, int first, int count);

// The value of a filled column at temperature t, from the cubic through
// the nodes around the interval of t (or `interval` when given).
Extended NodeValue(const PhaseNodes &nodes, int column, Extended t, int interval = -1);

}  // namespace rudid
