// The flags of a row its export answered: read from the path its lookup
// took and from the facts of the records around it, by the lookup that
// answers the export's family.
#include "api/state_flags.h"

#include "api/family_description.h"
#include "common/failure.h"
#include "tables/cell_facts.h"
#include "tables/state_flags.h"

namespace rudid {

namespace {

static_assert(kMixedPhaseCell == RUDID_FLAG_MIXED_PHASE_CELL && kNearSaturation == RUDID_FLAG_NEAR_SATURATION &&
                  kCriticalRegion == RUDID_FLAG_CRITICAL_REGION && kCoarseGrid == RUDID_FLAG_COARSE_GRID,
              "the flag bits of the tables are those of the public header");

}  // namespace

template <ExportFamily kFamily>
unsigned RowFlags(const ExportDescriptor &fn, const TableSource &tables, FlagFacts *facts, Extended first,
                  Extended second, const LookupPath &place, Extended answer) {
    constexpr const FamilyTraits &kTraits = TraitsOf(kFamily);
    try {
        const FactSource source{tables, facts};
        if constexpr (kTraits.lookup == FamilyLookup::Saturation)
            // A one-argument export gives the field alone (quality < 0).
            return SaturationFlags(source, kTraits.firstQuantity == RUDID_PRESSURE, first, fn.output,
                                   fn.arguments == 2 ? second : -1.0L, place, answer);
        else if constexpr (kTraits.lookup == FamilyLookup::PressureTemperature)
            return PressureTemperatureFlags(source, fn.output, place, answer);
        else
            return InverseFlags(source, kTraits.key, fn.output, second, place, answer);
    } catch (const LibraryFailure &) {
    }
    return 0;
}

#define RUDID_ROW_FLAGS(family)                                                                                   \
    template unsigned RowFlags<ExportFamily::family>(const ExportDescriptor &, const TableSource &, FlagFacts *, \
                                                     Extended, Extended, const LookupPath &, Extended);
RUDID_ROW_FLAGS(SaturationByPressure)
RUDID_ROW_FLAGS(SaturationByTemperature)
RUDID_ROW_FLAGS(PressureTemperature)
RUDID_ROW_FLAGS(PressureEnthalpy)
RUDID_ROW_FLAGS(PressureEntropy)
RUDID_ROW_FLAGS(PressureVolume)
#undef RUDID_ROW_FLAGS

}  // namespace rudid
