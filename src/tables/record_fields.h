// Table records hold little-endian IEEE singles.
#pragma once

#include <cstdint>
#include <cstring>

#include "common/real48.h"

namespace rudid {

inline float SingleAt(const std::uint8_t *record, int index) {
    float value;
    std::memcpy(&value, record + 4 * index, 4);
    return value;
}

// The single as it enters the arithmetic, widened.
inline Extended ValueAt(const std::uint8_t *record, int index) { return SingleValue(SingleAt(record, index)); }

// Whether a table value can take part in an interpolation without any
// chance of failing: finite and below 2^126 in magnitude, so that neither
// its conversion nor an interpolation with a weight in [0, 1] overflows.
inline bool IsSafeSingle(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return (bits & 0x7FFFFFFFu) < 0x7E800000u;  // the magnitude's bits below those of 2^126
}

}  // namespace rudid
