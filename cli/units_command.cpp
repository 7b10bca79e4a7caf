// The unit configuration: what each quantity is given and returned in, and
// changing it in default.cfg. The names and the selection each stands for
// are the library's.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "replace_file.h"
#include "configured_units.h"
#include "rudid32.h"
#include "unit_catalogue.h"
#include "unit_choice.h"
#include "unit_file.h"

namespace rudid::cli {

namespace {

std::string Choices(const QuantityInfo &quantity, const std::string &selected) {
    std::string text;
    for (const std::string &unit : quantity.units) {
        if (!text.empty()) text += ' ';
        text += unit == selected ? "[" + unit + "]" : unit;
    }
    return text;
}

const QuantityInfo &QuantityOfCode(int code) { return Quantities()[std::size_t(code)]; }

}  // namespace

int RunUnitsList() {
    const std::string path = UnitFilePath();
    UnitFile file;
    std::string error;
    const bool read = ReadUnitFile(path, &file, &error);
    const SelectionWords words = SelectionsOf(file.bytes);

    // With units chosen for the run, say where they came from too.
    const std::string &origin = ChosenUnitsOrigin();
    std::printf("unit configuration %s", origin.empty() ? path.c_str() : origin.c_str());
    if (!read)
        std::printf(" (%s: first unit of every quantity)", error.c_str());
    else if (!file.exists)
        std::printf(" (missing: first unit of every quantity)");
    else if (file.bytes.size() < 2 * kSelectionWordCount)
        std::printf(" (%zu bytes, short of %d: the missing selections are 0)", file.bytes.size(),
                    2 * kSelectionWordCount);
    // The quantities of the property functions first: the rest only
    // matter to programs that convert units through the library.
    const auto usedByFunctions = [](int code) {
        return code == RUDID_PRESSURE || code == RUDID_TEMPERATURE || code == RUDID_SPECIFIC_ENTHALPY ||
               code == RUDID_SPECIFIC_ENTROPY || code == RUDID_SPECIFIC_VOLUME;
    };
    std::vector<const QuantityInfo *> order;
    for (const QuantityInfo &quantity : Quantities())
        if (usedByFunctions(quantity.code)) order.push_back(&quantity);
    for (const QuantityInfo &quantity : Quantities())
        if (!usedByFunctions(quantity.code)) order.push_back(&quantity);
    std::printf("\n%-4s  %-25s  %-8s  %-10s  %s\n", "code", "quantity", "internal", "in effect", "choices");
    for (const QuantityInfo *entry : order) {
        const QuantityInfo &quantity = *entry;
        if (entry == order[5]) std::printf("other quantities (for conversions; no property function uses them):\n");
        if (IsReserved(quantity)) {
            std::printf("%4d  %-25s\n", quantity.code, "(reserved)");
            continue;
        }
        if (quantity.units.empty()) {
            std::printf("%4d  %-25s  %-8s  %-10s  %s\n", quantity.code, quantity.name.c_str(), "-", "-",
                        "(no unit)");
            continue;
        }
        // The unit of this run: the context's when units were chosen for it.
        const std::string selected = UnitOf(Quantity(quantity.code));
        const char *installed = RudidConfiguredUnit(quantity.code);
        std::string choices = Choices(quantity, selected);
        const std::int16_t word = words[std::size_t(quantity.selectionWord)];
        if (selected != (installed ? installed : ""))
            choices += "  (chosen for this run; default.cfg: " + std::string(installed ? installed : "") + ")";
        else if (quantity.selectionWord != quantity.code)
            choices += "  (follows " + QuantityOfCode(quantity.selectionWord).name + ")";
        else if (!UnitAt(quantity, word))
            choices += "  (selection " + std::to_string(word) + " is outside the list)";
        std::printf("%4d  %-25s  %-8s  %-10s  %s\n", quantity.code, quantity.name.c_str(),
                    quantity.internalUnit.c_str(), selected.c_str(), choices.c_str());
    }
    const char *message = RudidStartupMessage();
    if (message && *message) std::printf("the library reported at start-up: %s\n", message);
    return kExitOk;
}

int RunUnitsSet(const std::string &quantityName, const std::string &unitName, UnitScope scope) {
    // The installation's default.cfg is every program's, and in a checkout
    // a tracked file: it is changed only when asked for by name.
    if (scope == UnitScope::Unsaid) {
        std::fprintf(stderr,
                     "rudid32 units set: say whose units to change: --user for yours alone "
                     "(rudid32 units set --user %s %s), or --installation to change default.cfg in %s for every "
                     "program that loads the library\n",
                     quantityName.c_str(), unitName.c_str(), RudidDataDirectory());
        return kExitUsage;
    }
    const bool forUser = scope == UnitScope::User;
    const QuantityInfo *quantity = FindQuantity(quantityName);
    if (!quantity) {
        std::fprintf(stderr, "rudid32 units set: unknown quantity \"%s\" (see rudid32 units)\n", quantityName.c_str());
        return kExitUsage;
    }
    if (IsReserved(*quantity)) {
        std::fprintf(stderr, "rudid32 units set: quantity code %d is reserved and has no units\n", quantity->code);
        return kExitUsage;
    }
    if (quantity->units.empty()) {
        std::fprintf(stderr, "rudid32 units set: %s has no unit\n", quantity->name.c_str());
        return kExitUsage;
    }
    if (quantity->selectionWord != quantity->code) {
        std::fprintf(stderr, "rudid32 units set: %s follows the %s selection; set that instead\n",
                     quantity->name.c_str(), QuantityOfCode(quantity->selectionWord).name.c_str());
        return kExitUsage;
    }
    const std::optional<int> index = FindUnitIndex(*quantity, unitName);
    if (!index) {
        std::fprintf(stderr, "rudid32 units set: %s has no unit \"%s\"; choose one of: %s\n", quantity->name.c_str(),
                     unitName.c_str(), Choices(*quantity, "").c_str());
        return kExitUsage;
    }

    std::string error;
    if (forUser) {
        if (!StoreUserUnit({quantity, *index}, &error)) {
            std::fprintf(stderr, "rudid32 units set --user: %s\n", error.c_str());
            return kExitFailure;
        }
        std::printf("%s: %s for this user, in %s\n", quantity->name.c_str(),
                    quantity->units[std::size_t(*index)].c_str(), UserUnitFilePath().c_str());
        return kExitOk;
    }
    UnitFile file;
    if (!ReadUnitFile(UnitFilePath(), &file, &error)) {
        std::fprintf(stderr, "rudid32 units set: %s\n", error.c_str());
        return kExitFailure;
    }
    const std::int16_t before = SelectionsOf(file.bytes)[std::size_t(quantity->selectionWord)];
    const std::string &newUnit = quantity->units[std::size_t(*index)];
    if (file.exists && file.bytes.size() >= 2 * kSelectionWordCount && before == *index) {
        std::printf("%s: already %s\n", quantity->name.c_str(), newUnit.c_str());
        return kExitOk;
    }
    StoreSelection(&file.bytes, quantity->selectionWord, std::int16_t(*index));
    const std::string_view bytes(reinterpret_cast<const char *>(file.bytes.data()), file.bytes.size());
    if (!ReplaceFileAtomically(file.path, bytes, &error)) {
        std::fprintf(stderr,
                     "rudid32 units set: %s\n(the installation's file is shared by every program that loads the "
                     "library; \"rudid32 units set --user %s %s\" chooses for you alone)\n",
                     error.c_str(), quantityName.c_str(), unitName.c_str());
        return kExitFailure;
    }
    // What this process's library was configured with is the unit that
    // the old selection stood for.
    const char *oldUnit = RudidConfiguredUnit(quantity->code);
    std::printf("%s: %s -> %s in %s%s\n", quantity->name.c_str(), oldUnit ? oldUnit : "?", newUnit.c_str(),
                file.path.c_str(), file.exists ? "" : " (created)");
    std::printf("programs that load the library from now on use it; running ones keep their units\n");
    return kExitOk;
}

}  // namespace rudid::cli
