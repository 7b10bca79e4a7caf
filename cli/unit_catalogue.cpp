#include "unit_catalogue.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "rudid32.h"

namespace rudid::cli {

namespace {

// The library names quantities in words ("specific enthalpy"); the tool
// writes them as one word each ("specific-enthalpy") so that a listing
// splits into columns and a name can be typed as one argument.
std::string OneWord(const char *name) {
    std::string word = name ? name : "";
    std::replace(word.begin(), word.end(), ' ', '-');
    return word;
}

std::vector<QuantityInfo> AskTheLibrary() {
    std::vector<QuantityInfo> quantities;
    for (int code = 0; code < RUDID_QUANTITY_COUNT; ++code) {
        QuantityInfo quantity;
        quantity.code = code;
        quantity.name = OneWord(RudidQuantityName(code));
        const char *internal = RudidInternalUnit(code);
        quantity.internalUnit = internal ? internal : "";
        const int count = RudidUnitCount(code);
        for (int i = 0; i < count; ++i) {
            const char *unit = RudidUnitName(code, i);
            quantity.units.push_back(unit ? unit : "");
        }
        quantity.selectionWord = quantity.units.empty() ? -1 : RudidUnitSelectionWord(code);
        quantities.push_back(std::move(quantity));
    }
    return quantities;
}

std::string Folded(std::string_view text) {
    std::string folded;
    for (char c : text)
        if (c != ' ' && c != '-' && c != '_') folded += char(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool EqualWithoutCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const QuantityInfo> Quantities() {
    static const std::vector<QuantityInfo> quantities = AskTheLibrary();
    return quantities;
}

bool IsReserved(const QuantityInfo &quantity) { return quantity.name.empty(); }

const QuantityInfo *FindQuantity(std::string_view text) {
    int code = -1;
    const std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), code);
    if (read.ec == std::errc() && read.ptr == text.data() + text.size()) {
        for (const QuantityInfo &quantity : Quantities())
            if (quantity.code == code) return &quantity;
        return nullptr;
    }
    const std::string folded = Folded(text);
    if (folded.empty()) return nullptr;
    for (const QuantityInfo &quantity : Quantities())
        if (!IsReserved(quantity) && Folded(quantity.name) == folded) return &quantity;
    for (const QuantityInfo &quantity : Quantities())
        if (!IsReserved(quantity) && Folded(quantity.name) == "specific" + folded) return &quantity;
    return nullptr;
}

std::optional<int> FindUnitIndex(const QuantityInfo &quantity, std::string_view name) {
    for (std::size_t i = 0; i < quantity.units.size(); ++i)
        if (name == quantity.units[i]) return int(i);
    for (std::size_t i = 0; i < quantity.units.size(); ++i)
        if (EqualWithoutCase(name, quantity.units[i])) return int(i);
    return std::nullopt;
}

const char *UnitAt(const QuantityInfo &quantity, int word) {
    if (word < 0 || std::size_t(word) >= quantity.units.size()) return nullptr;
    return quantity.units[std::size_t(word)].c_str();
}

}  // namespace rudid::cli
