// The quantity codes of the unit configuration and the unit names each can
// select, in selection order, as the library tells them. default.cfg holds
// one selection word per code.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rudid::cli {

struct QuantityInfo {
    int code = 0;
    std::string name;          // "pressure", "specific-enthalpy"; "" for a reserved code
    std::string internalUnit;  // unit of the library's arithmetic; "" for none
    std::vector<std::string> units;  // selectable names; empty when none
    int selectionWord = -1;    // word of default.cfg that selects the unit; -1 for none
};

std::span<const QuantityInfo> Quantities();

// Reserved codes have neither a name nor units.
bool IsReserved(const QuantityInfo &quantity);

// Finds a quantity by its code ("3"), its name ("pressure",
// "specific-enthalpy", "SpecificEnthalpy": case, blanks, "-" and "_" do not
// matter) or its name without "specific" ("enthalpy", "entropy", "volume").
const QuantityInfo *FindQuantity(std::string_view text);

// Index of a unit name in the quantity's list: an exact match first, then
// one without regard to case (no list holds two names that differ in case only).
std::optional<int> FindUnitIndex(const QuantityInfo &quantity, std::string_view name);

// The unit name that a selection word stands for; nullptr when the word is
// not an index into the quantity's list.
const char *UnitAt(const QuantityInfo &quantity, int word);

}  // namespace rudid::cli
