// didizar.dat: 224 isobars of 81 entries (0, 10, ... 800 degC), each entry
// three singles v (m3/kg), h (kJ/kg), s (kJ/(kg K)).
#pragma once

#include <cstdint>

#include "common/real48.h"

namespace rudid {

constexpr int kIsobarEntries = 81;
constexpr int kEntryStep = 10;  // degC from one entry to the next
constexpr int kEntryValues = 3;  // v, h, s
constexpr int kEntrySize = kEntryValues * 4;
constexpr int kIsobarSize = kIsobarEntries * kEntrySize;  // 972 bytes
enum EntryColumn : int { kVolumeColumn = 0, kEnthalpyColumn = 1, kEntropyColumn = 2 };

// The Real48 nearest to 999.999 and 799.999: a pressure of 1000 bar or a
// temperature of 800 degC is moved just inside the grid, so that the last
// isobar and the last column are only ever used as upper corners.
constexpr Real48 kJustBelow1000 = {{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x79}};
constexpr Real48 kJustBelow800 = {{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x47}};

// The critical pressure that separates the paths with and without a
// saturation line.
constexpr Extended kCriticalPressure = 221.2L;

}  // namespace rudid
