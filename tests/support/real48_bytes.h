// The six bytes of a Real48, for tests that compare stored values exactly.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "common/real48.h"

namespace rudid::testing {

using Real48Bytes = std::array<std::uint8_t, 6>;

inline Real48Bytes BytesOf(Real48 r) {
    Real48Bytes b;
    std::memcpy(b.data(), r.bytes, 6);
    return b;
}

}  // namespace rudid::testing
