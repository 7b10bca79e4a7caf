// One phase of the isobar through a pressure, as the refined answers
// interpolate it: the table temperatures at which both neighbouring isobars
// of the single-phase table hold that phase, their values carried to the
// pressure, and the saturated state of the phase at the pressure itself.
// Nodes of different phases never meet in one interpolation.
#pragma once

#include "common/real48.h"
#include "tables/refined_saturation.h"
#include "tables/single_phase_table.h"
#include "tables/table_source.h"

namespace rudid {

enum class Phase { Liquid, Vapour, Supercritical };

// Up to the 81 table temperatures and the saturated state, rising in
// temperature; value[column][i] with the columns of the table (v, h, s).
constexpr int kMaxPhaseNodes = kIsobarEntries + 1;
struct PhaseNodes {
    int count = 0;
    Extended t[kMaxPhaseNodes];
    Extended value[kEntryValues][kMaxPhaseNodes];
};

// The pressure as the refined answers place it among the tables: p, and
// below the critical pressure the saturated state there.
struct RefinedPressure {
    Extended p;
    bool subcritical;
    SaturationValues saturation;  // when subcritical
};
RefinedPressure PlacePressure(const TableSource &tables, Extended p);

// A table temperature closer than this to the saturation temperature is
// left out of its phase: the saturated state stands there instead, and two
// nodes so close would turn the tables' rounding into wiggles.
constexpr Extended kSaturationClearance = 3;

// The nodes of `phase` at the placed pressure (Supercritical above the
// critical pressure), of the table temperatures from tMin to tMax only.
// A cubic takes its nodes from within 30 degC of its interval, so nodes
// from 50 degC around a temperature give it the same cubic as all of them.
// Raises the tables' input/output failures.
constexpr Extended kStencilReach = 50;
void BuildPhaseNodes(const TableSource &tables, const RefinedPressure &place, Phase phase, Extended tMin,
                     Extended tMax, PhaseNodes *nodes);

// The value of a column at temperature t, from the cubic through the nodes
// around t (the interval of t, or `interval` when given).
Extended NodeValue(const PhaseNodes &nodes, int column, Extended t, int interval = -1);

}  // namespace rudid
