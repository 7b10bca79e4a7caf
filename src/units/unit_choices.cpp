#include "units/unit_choices.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "units/quantity.h"
#include "units/quantity_names.h"

namespace rudid {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// Lower case, without the spaces, '_' and '-' between words.
std::string Folded(std::string_view text) {
    std::string folded;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)) && c != '_' && c != '-')
            folded += char(std::tolower(static_cast<unsigned char>(c)));
    return folded;
}

bool SameWithoutCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A quantity whose unit a choice can set: a list of its own, not one that
// follows another's word (per degree follows temperature).
bool Choosable(int code) {
    return UnitListFor(QuantityCode(code)).names != nullptr && code != PerDegree;
}

int FindQuantityCode(std::string_view name) {
    const std::string folded = Folded(name);
    if (folded.empty()) return -1;
    if (folded.find_first_not_of("0123456789") == std::string::npos && folded.size() <= 2) {
        const int code = std::stoi(folded);
        return code < kQuantityCodeCount ? code : -1;
    }
    for (const std::string prefix : {"", "specific"})
        for (int code = 0; code < kQuantityCodeCount; ++code)
            if (*QuantityName(code) && Folded(QuantityName(code)) == prefix + folded) return code;
    return -1;
}

// Units offered by name only (contexts, the tool's --units, Python): kPa,
// the engineer's everyday pressure unit, which the selection list of
// default.cfg never had.
struct NamedOnlyUnit {
    QuantityCode code;
    const char *name;
};
constexpr NamedOnlyUnit kNamedOnlyUnits[] = {{Pressure, "kPa"}};

const char *FindNamedOnly(int code, std::string_view unit) {
    for (const NamedOnlyUnit &named : kNamedOnlyUnits)
        if (named.code == code && SameWithoutCase(unit, named.name)) return named.name;
    return nullptr;
}

int FindUnit(const UnitList &list, std::string_view unit) {
    for (int i = 0; i <= list.lastIndex; ++i)
        if (unit == list.names[i]) return i;
    for (int i = 0; i <= list.lastIndex; ++i)
        if (SameWithoutCase(unit, list.names[i])) return i;
    return -1;
}

// Where the first item of text ends. Items are separated by ';', a line
// end, or a ',' that begins another QUANTITY=UNIT: units such as "kJ/kg,K"
// hold commas of their own.
std::size_t ItemEnd(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == ';' || text[at] == '\n') return at;
        if (text[at] != ',') continue;
        const std::string_view after = text.substr(at + 1);
        const std::size_t equals = after.find('='), next = after.find_first_of(",;\n");
        if (equals != std::string_view::npos && equals < next) return at;
    }
    return std::string_view::npos;
}

}  // namespace

bool ApplyUnitChoices(const char *text, UnitChoices *choices, char *error, std::size_t errorSize) {
    UnitChoices chosen = *choices;
    std::string_view rest = text ? text : "";
    while (!rest.empty()) {
        const std::size_t end = ItemEnd(rest);
        const std::string_view item = Trimmed(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (item.empty()) continue;
        const std::size_t equals = item.find('=');
        const std::string quantity(Trimmed(item.substr(0, equals)));
        const int code = equals == std::string_view::npos ? -1 : FindQuantityCode(quantity);
        if (code < 0 || !Choosable(code)) {
            std::snprintf(error, errorSize, "units: \"%.*s\" is not QUANTITY=UNIT for a quantity with units",
                          int(item.size()), item.data());
            return false;
        }
        const UnitList list = UnitListFor(QuantityCode(code));
        const std::string unit(Trimmed(item.substr(equals + 1)));
        const int index = FindUnit(list, unit);
        const char *namedOnly = index < 0 ? FindNamedOnly(code, unit) : nullptr;
        if (index < 0 && !namedOnly) {
            std::string names;
            for (int i = 0; i <= list.lastIndex; ++i) names += std::string(i ? " " : "") + list.names[i];
            for (const NamedOnlyUnit &named : kNamedOnlyUnits)
                if (named.code == code) names += std::string(" ") + named.name;
            std::snprintf(error, errorSize, "units: %s has no unit \"%s\"; choose one of: %s", QuantityName(code),
                          unit.c_str(), names.c_str());
            return false;
        }
        chosen.namedOnly[code] = namedOnly;
        if (index >= 0) chosen.selections[code] = std::int16_t(index);
    }
    *choices = chosen;
    return true;
}

}  // namespace rudid
