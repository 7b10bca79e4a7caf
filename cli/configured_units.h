// The units the library works in for this process: the selections of
// default.cfg in its data directory, read the way the library reads them.
#pragma once

#include <string>

#include "export_table.h"
#include "unit_file.h"

namespace rudid::cli {

struct ConfiguredUnits {
    SelectionWords words{};
    // The unit name of a quantity of the property functions; "" for a quality.
    std::string NameOf(Quantity quantity) const;
};

// An unreadable or missing file gives the first unit of every quantity, as
// in the library.
ConfiguredUnits LoadConfiguredUnits();

}  // namespace rudid::cli
