// The tables' upper edges: a pressure of 1000 bar or a temperature of
// 800 degC is answered from just inside the grid. The limits themselves
// are in common/constants.h.
#pragma once

#include "common/constants.h"

namespace rudid {

// The Real48 nearest to 999.999 and 799.999: a pressure of 1000 bar or a
// temperature of 800 degC is moved just inside the grid, so that the last
// isobar and the last column are only ever used as upper corners.
constexpr Real48 kJustBelow1000 = {{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x79}};
constexpr Real48 kJustBelow800 = {{0x8A, 0xB2, 0x9D, 0xEF, 0xFF, 0x47}};

inline void MoveInsideTheGrid(Extended *p) {
    if (*p == kHighestPressure) *p = Real48ToExtended(kJustBelow1000);
}
inline void MoveInsideTheGrid(Extended *p, Extended *t) {
    MoveInsideTheGrid(p);
    if (*t == kHighestTemperature) *t = Real48ToExtended(kJustBelow800);
}

}  // namespace rudid
