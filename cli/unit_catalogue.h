// The 26 quantity codes of the unit configuration and the unit names each
// can select, in selection order: the same lists the library picks its
// units from. default.cfg holds one selection word per code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace rudid::cli {

struct QuantityInfo {
    int code;
    const char *name;          // "pressure"; "" for a reserved code
    const char *internalUnit;  // unit of the library's arithmetic; "" for none
    std::span<const char *const> units;  // selectable names; empty when none
    int selectionWord;         // word of default.cfg that selects the unit; -1 for none
};

constexpr int kQuantityCount = 26;
constexpr int kSelectionWordCount = 31;

std::span<const QuantityInfo> Quantities();

// Reserved codes (11, 15 to 18) have neither a name nor units.
bool IsReserved(const QuantityInfo &quantity);

// Finds a quantity by its code ("3"), its name ("pressure",
// "specific-enthalpy", "SpecificEnthalpy": case, blanks, "-" and "_" do not
// matter) or a short name of the quantities the property functions use
// ("enthalpy", "entropy", "volume").
const QuantityInfo *FindQuantity(std::string_view text);

// Index of a unit name in the quantity's list: an exact match first, then
// one without regard to case (no list holds two names that differ in case only).
std::optional<int> FindUnitIndex(const QuantityInfo &quantity, std::string_view name);

// The unit that a selection word selects: the name at that index, or the
// first name of the list when the word lies outside it. nullptr when the
// quantity has no list.
const char *SelectedUnit(const QuantityInfo &quantity, std::int16_t word);

// Whether the word is an index into the quantity's list.
bool SelectionInRange(const QuantityInfo &quantity, std::int16_t word);

}  // namespace rudid::cli
