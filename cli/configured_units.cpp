#include "configured_units.h"

namespace rudid::cli {

std::string ConfiguredUnits::NameOf(Quantity quantity) const {
    if (quantity == Quantity::Quality) return "";
    const QuantityInfo &info = Quantities()[std::size_t(quantity)];
    const char *name = SelectedUnit(info, words[std::size_t(info.selectionWord)]);
    return name ? name : "";
}

ConfiguredUnits LoadConfiguredUnits() {
    ConfiguredUnits units;
    UnitFile file;
    std::string error;
    if (ReadUnitFile(UnitFilePath(), &file, &error)) units.words = SelectionsOf(file.bytes);
    return units;
}

}  // namespace rudid::cli
