// Units chosen without touching the installation's default.cfg: for one
// invocation (--units pressure=psi,temperature=F or RUDID32_UNITS) or for
// one user (a file of "quantity = unit" lines, see UserUnitFilePath). The
// library reads its configuration once, when it is loaded; the tool gives
// it a private view of the data directory (the tables linked, a default.cfg
// of the chosen units, an INI naming it) and runs itself again under it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "unit_catalogue.h"

namespace rudid::cli {

struct UnitChoice {
    const QuantityInfo *quantity = nullptr;
    int selection = 0;  // the index of the unit in the quantity's list
};

// Reads "pressure=psi,temperature=F" (commas or line ends between choices;
// blanks and lines starting with # ignored). False with the reason in
// *error for an unknown quantity or unit.
bool ParseUnitChoices(std::string_view text, std::vector<UnitChoice> *choices, std::string *error);

// $XDG_CONFIG_HOME/rudid32/units, else $HOME/.config/rudid32/units; "" when
// neither variable is set.
std::string UserUnitFilePath();

// The user's choices; none when the file does not exist. False with the
// reason for a file that cannot be read or holds a wrong line.
bool ReadUserUnits(std::vector<UnitChoice> *choices, std::string *error);

// Records one choice in the user's file (creating it and its directory),
// replacing any earlier choice of that quantity. False with the reason.
bool StoreUserUnit(const UnitChoice &choice, std::string *error);

// Set in the environment of the tool run under a view, so that it does not
// build another; its value says where the choices came from.
constexpr const char *kUnitViewVariable = "RUDID32_UNIT_VIEW";

// Runs this program again (argv as given) with the library configured by
// the installation's default.cfg with these choices applied; returns its
// exit status. The view is removed afterwards.
int RunUnderUnitView(char **argv, const std::vector<UnitChoice> &choices, const std::string &origin);

}  // namespace rudid::cli
