// didizar.dat: 224 isobars of 81 entries (0, 10, ... 800 degC), each entry
// three singles v (m3/kg), h (kJ/kg), s (kJ/(kg K)).
#pragma once

#include <cstdint>

#include "common/constants.h"

namespace rudid {

constexpr int kIsobarValues = kIsobarEntries * kEntryValues;
enum EntryColumn : int { kVolumeColumn = 0, kEnthalpyColumn = 1, kEntropyColumn = 2 };

}  // namespace rudid
