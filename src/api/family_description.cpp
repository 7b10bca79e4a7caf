#include "api/family_description.h"

namespace rudid {

namespace {

bool HasCode(const RangeCheck &check, int code) { return check.belowCode == code || check.aboveCode == code; }

const RangeCheck *InFamily(const FamilyTraits &traits, int code) {
    for (int i = 0; i < traits.count; ++i)
        if (HasCode(traits.checks[i], code)) return &traits.checks[i];
    return nullptr;
}

}  // namespace

const RangeCheck *CheckWithCode(const ExportDescriptor *fn, int code) {
    if (fn) {
        if (const RangeCheck *check = InFamily(TraitsOf(fn->family), code)) return check;
        if (fn->arguments == 2 && fn->secondArgument == kQuality && HasCode(kQualityTest, code)) return &kQualityTest;
    }
    // A code that the function's own tests never give: the first family
    // whose tests do.
    for (const FamilyTraits &traits : kFamilyTraits)
        if (const RangeCheck *check = InFamily(traits, code)) return check;
    return HasCode(kQualityTest, code) ? &kQualityTest : nullptr;
}

}  // namespace rudid
