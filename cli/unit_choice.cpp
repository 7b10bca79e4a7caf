#include "unit_choice.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "bounded_file.h"
#include "commands.h"
#include "library_call.h"
#include "number_text.h"
#include "platform/tool_platform.h"
#include "replace_file.h"
#include "rudid32.h"
#include "unit_file.h"

namespace rudid::cli {

namespace {

// A user's units file names a unit per line for at most the 26 quantities;
// one this large is not one.
constexpr std::size_t kLargestUserUnitFile = 64 * 1024;

bool ParseOne(std::string_view text, UnitChoice *choice, std::string *error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        *error = "\"" + std::string(text) + "\" is not QUANTITY=UNIT";
        return false;
    }
    const std::string name(TrimBlanks(text.substr(0, equals)));
    const std::string unit(TrimBlanks(text.substr(equals + 1)));
    const QuantityInfo *quantity = FindQuantity(name);
    if (!quantity || IsReserved(*quantity) || quantity->units.empty()) {
        *error = "no quantity with units called \"" + name + "\" (see rudid32 units)";
        return false;
    }
    if (quantity->selectionWord != quantity->code) {
        *error = quantity->name + " follows the unit of " + Quantities()[std::size_t(quantity->selectionWord)].name;
        return false;
    }
    const std::optional<int> index = FindUnitIndex(*quantity, unit);
    if (!index) {
        std::string names;
        for (const std::string &known : quantity->units) names += (names.empty() ? "" : " ") + known;
        *error = quantity->name + " has no unit \"" + unit + "\"; choose one of: " + names;
        return false;
    }
    *choice = {quantity, *index};
    return true;
}

using platform::DirectoryOf;
using platform::MakeDirectories;

// Where the first item of text ends: at a line end, a ';', or a ',' that
// begins another QUANTITY=UNIT, since units such as "kJ/kg,K" hold commas
// of their own (the library reads the items of a context's units so too).
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

RudidContext *gChosen = nullptr;  // the context of the run's units, if any
std::string gOrigin;              // where they came from

// "rudid32: RUDID32_UNITS: units: pressure has no unit ..." for the first
// of the sources whose choices the library refuses on their own.
void TellRefusedSource(const std::vector<std::pair<std::string, std::string>> &sources) {
    for (const auto &[origin, text] : sources) {
        RudidContext *alone = RudidOpen(nullptr, text.c_str(), 0);
        if (alone) {
            RudidClose(alone);
            continue;
        }
        std::fprintf(stderr, "rudid32: %s: %s\n", origin.c_str(), RudidContextMessage(nullptr));
        return;
    }
    std::fprintf(stderr, "rudid32: %s\n", RudidContextMessage(nullptr));
}

}  // namespace

bool ParseUnitChoices(std::string_view text, std::vector<UnitChoice> *choices, std::string *error) {
    while (!text.empty()) {
        // A comment runs to the end of its line, whatever commas it holds.
        const bool comment = TrimBlanks(text).starts_with('#');
        const std::size_t end = comment ? text.find('\n') : ItemEnd(text);
        const std::string_view item = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (item.empty() || item.front() == '#') continue;
        UnitChoice choice;
        if (!ParseOne(item, &choice, error)) return false;
        choices->push_back(choice);
    }
    return true;
}

std::string UserUnitFilePath() { return platform::UserUnitFilePath(); }

bool ReadUserUnits(std::vector<UnitChoice> *choices, std::string *error) {
    const std::string path = UserUnitFilePath();
    if (path.empty()) return true;
    std::string text;
    switch (ReadBoundedFile(path, kLargestUserUnitFile, &text, error)) {
        case FileRead::Missing: return true;
        case FileRead::Refused: return false;
        case FileRead::Read: break;
    }
    if (!ParseUnitChoices(text, choices, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool StoreUserUnit(const UnitChoice &choice, std::string *error) {
    const std::string path = UserUnitFilePath();
    if (path.empty()) {
        *error = platform::NoUserUnitPlace();
        return false;
    }
    std::vector<UnitChoice> choices;
    if (!ReadUserUnits(&choices, error)) return false;
    std::string text = "# Units of rudid32 for this user (rudid32 units set --user QUANTITY UNIT).\n";
    for (const UnitChoice &kept : choices)
        if (kept.quantity != choice.quantity)
            text += kept.quantity->name + " = " + kept.quantity->units[std::size_t(kept.selection)] + "\n";
    text += choice.quantity->name + " = " + choice.quantity->units[std::size_t(choice.selection)] + "\n";
    if (!MakeDirectories(DirectoryOf(path))) {
        *error = "cannot create the directory " + DirectoryOf(path) + ": " + std::strerror(errno);
        return false;
    }
    return ReplaceFileAtomically(path, text, error);
}

int OpenChosenUnits(const std::string &argument) {
    std::vector<UnitChoice> choices;
    std::string error;
    if (!ReadUserUnits(&choices, &error)) {
        std::fprintf(stderr, "rudid32: %s\n", error.c_str());
        return kExitUsage;
    }
    // Each source on lines of its own: a later choice of a quantity wins.
    std::vector<std::pair<std::string, std::string>> sources;
    if (!choices.empty()) {
        std::string text;
        for (const UnitChoice &choice : choices)
            text += choice.quantity->name + "=" + choice.quantity->units[std::size_t(choice.selection)] + "\n";
        sources.emplace_back(UserUnitFilePath(), text);
    }
    const char *variable = std::getenv("RUDID32_UNITS");
    if (variable && *variable) sources.emplace_back("RUDID32_UNITS", variable);
    if (!argument.empty()) sources.emplace_back("--units", argument);
    if (sources.empty()) return -1;
    std::string units, origin;
    for (const auto &[from, text] : sources) {
        units += text + "\n";
        origin += (origin.empty() ? "" : ", then ") + from;
    }
    gChosen = RudidOpen(nullptr, units.c_str(), 0);
    if (!gChosen) {
        // Tables that cannot be read fail every context: not a wrong choice.
        RudidContext *plain = RudidOpen(nullptr, nullptr, 0);
        if (!plain) {
            std::fprintf(stderr, "rudid32: %s\n", RudidContextMessage(nullptr));
            return kExitFailure;
        }
        RudidClose(plain);
        TellRefusedSource(sources);
        return kExitUsage;
    }
    gOrigin = origin + ", over " + UnitFilePath();
    UseToolContext(gChosen);
    return -1;
}

const std::string &ChosenUnitsOrigin() { return gOrigin; }

void CloseChosenUnits() {
    UseToolContext(nullptr);
    RudidClose(gChosen);
    gChosen = nullptr;
}

}  // namespace rudid::cli
