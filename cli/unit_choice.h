// Units chosen without touching the installation's default.cfg: for one
// invocation (--units pressure=psi,temperature=F or RUDID32_UNITS) or for
// one user (a file of "quantity = unit" lines, see UserUnitFilePath). The
// run opens a library context with the choices over the process's data
// directory, and every call of the tool goes through it: nothing is
// written, and nothing runs twice.
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

// Reads "pressure=psi,temperature=F": items separated by line ends, ';' or
// a ',' that begins another QUANTITY=UNIT (so "entropy=Btu/lbm,F" keeps its
// comma); blanks and lines starting with # ignored. False with the reason
// in *error for an unknown quantity or unit.
bool ParseUnitChoices(std::string_view text, std::vector<UnitChoice> *choices, std::string *error);

// $XDG_CONFIG_HOME/rudid32/units, else $HOME/.config/rudid32/units; "" when
// neither variable is set. On Windows %APPDATA%\rudid32\units.
std::string UserUnitFilePath();

// The user's choices; none when the file does not exist. False with the
// reason for a file that cannot be read or holds a wrong line.
bool ReadUserUnits(std::vector<UnitChoice> *choices, std::string *error);

// Records one choice in the user's file (creating it and its directory),
// replacing any earlier choice of that quantity. False with the reason.
bool StoreUserUnit(const UnitChoice &choice, std::string *error);

// Opens the tool's context (UseToolContext) for the units chosen for this
// run: the user's file, then RUDID32_UNITS, then argument (the text of
// --units), a later choice of a quantity winning. With no choice there is
// none, and the calls keep the process's configuration. Returns -1 to carry
// on, or the exit status: kExitUsage for a wrong choice, said with the
// library's message and where the choice came from; kExitFailure for
// tables that no context can read.
int OpenChosenUnits(const std::string &argument);

// Where the units of this run came from ("--units, over .../default.cfg");
// "" without a context.
const std::string &ChosenUnitsOrigin();

// Closes the run's context; the calls return to the process's configuration.
void CloseChosenUnits();

}  // namespace rudid::cli
