// What the library learns once, when it is loaded: where the data files lie
// and which unit the user chose for each quantity. Written by start-up, only
// read afterwards; a changed configuration takes effect at the next load.
#pragma once

#include <cstdint>

#include "units/unit_factor_tables.h"
#include "units/unit_selection.h"

namespace rudid {

struct StartupConfiguration {
    // Word k is the unit selection of quantity code k.
    std::int16_t unitSelections[kUnitSelectionWordCount];
    // The INI value with one path separator appended.
    char dataDirectory[257];
    // Empty, or the message stored when default.cfg could not be read in full.
    char startupMessage[256];
    // Resolved from the selections once, when the configuration is loaded:
    // the unit name each quantity code's selection gives ("" for none), and
    // the factor (or temperature scale) that name stands for, as recognition
    // finds it; unitRecognised is false where it finds none.
    const char *unitName[kQuantityCodeCount];
    UnitFactor unitFactor[kQuantityCodeCount];
    // The same factors as doubles (exact), which the calls widen.
    double unitFactorValue[kQuantityCodeCount];
    bool unitRecognised[kQuantityCodeCount];
    // CACHE=1 in ZAREVIRU.INI: single calls read the tables from copies
    // kept in memory and checked against the files once a second; any
    // other value or none, they open and read the files on every call.
    bool cacheTables;
};

// Reads ZAREVIRU.INI and default.cfg into the process-wide configuration.
// Called once, when the library is loaded; never fails the load.
void LoadStartupConfiguration();

// The configuration that start-up loaded (all zero before).
const StartupConfiguration &Startup();

// Fills in the unit names and factors that the selections choose.
void ResolveConfiguredUnits(StartupConfiguration *configuration);

// Builds a configuration from a "DIR" value as the INI lookup returned it:
// appends the separator and reads default.cfg from that directory.
void LoadConfiguration(const char *directoryValue, StartupConfiguration *configuration);

}  // namespace rudid
