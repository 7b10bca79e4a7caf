#include "api/family_description.h"

namespace rudid {

namespace {

bool HasCode(const RangeCheck &check, int code) { return check.belowCode == code || check.aboveCode == code; }

const RangeCheck *InFamily(const FamilyDescription &description, int code) {
    for (int i = 0; i < description.count; ++i)
        if (HasCode(description.checks[i], code)) return &description.checks[i];
    return nullptr;
}

constexpr ExportFamily kFamilies[] = {ExportFamily::SaturationByPressure, ExportFamily::SaturationByTemperature,
                                      ExportFamily::PressureTemperature,  ExportFamily::PressureEnthalpy,
                                      ExportFamily::PressureEntropy,      ExportFamily::PressureVolume};
static_assert(int(kFamilies[0]) == 0 && int(kFamilies[1]) == 1 && int(kFamilies[2]) == 2 && int(kFamilies[3]) == 3 &&
                  int(kFamilies[4]) == 4 && int(kFamilies[5]) == 5,
              "kDescriptions is indexed by family");
constexpr FamilyDescription kDescriptions[] = {DescriptionOf(kFamilies[0]), DescriptionOf(kFamilies[1]),
                                               DescriptionOf(kFamilies[2]), DescriptionOf(kFamilies[3]),
                                               DescriptionOf(kFamilies[4]), DescriptionOf(kFamilies[5])};

}  // namespace

const RangeCheck *CheckWithCode(const ExportDescriptor *fn, int code) {
    if (fn) {
        if (const RangeCheck *check = InFamily(kDescriptions[int(fn->family)], code)) return check;
        if (fn->arguments == 2 && fn->secondArgument == kQuality && HasCode(kQualityTest, code)) return &kQualityTest;
    }
    // A code that the function's own tests never give: the first family
    // whose tests do.
    for (const FamilyDescription &description : kDescriptions)
        if (const RangeCheck *check = InFamily(description, code)) return check;
    return HasCode(kQualityTest, code) ? &kQualityTest : nullptr;
}

}  // namespace rudid
