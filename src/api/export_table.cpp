#include "api/export_table.h"

#include <cstring>

#include "api/family_description.h"

namespace rudid {

namespace {

constexpr ExportDescriptor kExports[kExportCount] = {
#define RUDID_EXPORT_DESCRIPTOR(name, ordinal, arity, first, second, result, family, output, \
                                refusal, description)                                      \
    {#name, ordinal, arity, first, second, result, ExportFamily::family, output, refusal,  \
     description},
    RUDID_PROPERTY_FUNCTIONS(RUDID_EXPORT_DESCRIPTOR)
#undef RUDID_EXPORT_DESCRIPTOR
};

// The list is the interface: ordinals count up in list order (OrdinalOfRow),
// and the facts that the call skeleton relies on hold for every row.
constexpr bool RowsAreConsistent() {
    for (int i = 0; i < kExportCount; ++i) {
        const ExportDescriptor &fn = kExports[i];
        if (fn.ordinal != OrdinalOfRow(i)) return false;
        if (fn.arguments != 1 && fn.arguments != 2) return false;
        if ((fn.arguments == 1) != (fn.secondArgument == kNoQuantity)) return false;
        const FamilyTraits &traits = TraitsOf(fn.family);
        const bool saturation = traits.lookup == FamilyLookup::Saturation;
        if (fn.firstArgument != traits.firstQuantity) return false;
        if (saturation != (fn.lookupRefusal == 0)) return false;
        if (saturation && fn.arguments == 2 && fn.secondArgument != kQuality) return false;
    }
    return true;
}
static_assert(RowsAreConsistent(), "RUDID_PROPERTY_FUNCTIONS: a row breaks the rules of the list");

}  // namespace

const ExportDescriptor &Describe(ExportId id) { return kExports[int(id)]; }

const ExportDescriptor &SideOfTheLine() {
    static constexpr ExportDescriptor kSide = {
        "", 0, 2, RUDID_PRESSURE, RUDID_TEMPERATURE, kQuality, ExportFamily::PressureTemperature, 3,
        RUDID_ON_SATURATION_LINE, "side of the saturation line at a pressure and temperature"};
    return kSide;
}

std::optional<ExportId> FindExport(const char *name) {
    if (!name) return std::nullopt;
    for (int i = 0; i < kExportCount; ++i)
        if (std::strcmp(kExports[i].name, name) == 0) return ExportId(i);
    return std::nullopt;
}

}  // namespace rudid
