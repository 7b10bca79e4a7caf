// Table records hold little-endian IEEE singles.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>

#include "common/real48.h"
#include "tables/single_phase_table.h"

namespace rudid {

inline float SingleAt(const std::uint8_t *record, int index) {
    float value;
    std::memcpy(&value, record + 4 * index, 4);
    return value;
}

// The single as it enters the arithmetic, widened.
inline Extended ValueAt(const std::uint8_t *record, int index) { return SingleValue(SingleAt(record, index)); }

// ValueAt for a value that IsSafeSingle has passed: only the flush of
// magnitudes below 2^-128 to zero remains to be done, on the bits.
inline Extended SafeValueAt(const std::uint8_t *record, int index) {
    std::uint32_t bits;
    std::memcpy(&bits, record + 4 * index, 4);
    return (bits & 0x7FFFFFFFu) < 0x00200000u ? 0.0L : Extended(SingleAt(record, index));  // 2^-128's bits
}

// Whether a table value can take part in an interpolation without any
// chance of failing: finite and below 2^126 in magnitude, so that neither
// its conversion nor an interpolation with a weight in [0, 1] overflows.
inline bool IsSafeSingle(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return (bits & 0x7FFFFFFFu) < 0x7E800000u;  // the magnitude's bits below those of 2^126
}

// Whether count singles from record on all pass IsSafeSingle.
// A magnitude's bits of 2^126 or more carry into the sign bit when 2^31
// less 2^126's bits are added, so one test covers all of them; two singles
// at a time, the lower one's sum never reaching the upper one.
// The magnitudes of two singles side by side, and what carries a magnitude
// of 2^126 or more into the sign bit: 2^31 less 2^126's bits, in both halves.
constexpr std::uint64_t kPairMagnitudes = 0x7FFFFFFF7FFFFFFFull;
constexpr std::uint64_t kPairUnsafeCarry = 0x0180000001800000ull;
constexpr std::uint64_t kPairSignBits = 0x8000000080000000ull;

inline bool AllSafeSingles(const std::uint8_t *record, int count) {
    constexpr std::uint64_t kMagnitudes = kPairMagnitudes;
    constexpr std::uint64_t kCarry = kPairUnsafeCarry;
    std::uint64_t carried = 0;
    int i = 0;
#pragma GCC unroll 8
    for (; i + 2 <= count; i += 2) {
        std::uint64_t pair;
        std::memcpy(&pair, record + 4 * i, 8);
        carried |= (pair & kMagnitudes) + kCarry;
    }
    if (i < count) {
        std::uint32_t bits;
        std::memcpy(&bits, record + 4 * i, 4);
        carried |= (bits & 0x7FFFFFFFu) + std::uint32_t(kCarry);
    }
    return (carried & kPairSignBits) == 0;
}

// A linear interpolation between two table singles that passed
// IsSafeSingle, at weight w, in double precision, with a bound far above
// its distance from Interpolate's result on the same values: that one is
// rounded to 40 bits, within 2^-39 of the larger end value, the double one
// errs by a few 2^-53 of it, and the flush of magnitudes below 2^-128 moves
// a value by less than 2^-127. Enough to decide most comparisons without
// the exact interpolation, which cannot fail on such values and so may be
// left out when nothing else needs it.
struct Rough {
    double value;
    double error;
};

inline Rough RoughInterpolate(double w, const std::uint8_t *a, const std::uint8_t *b, int index) {
    const double y0 = SingleAt(a, index), y1 = SingleAt(b, index);
    return {y0 + (y1 - y0) * w, 0x1p-30 * (std::fabs(y0) + std::fabs(y1)) + 0x1p-100};
}

// How many entries of a column hold a value at or below key, in the column
// carried between two isobars by weight w in double precision: low and high
// point at the column's first value in each isobar. Counted first among
// every tenth entry, then among the nine between the two tenths that hold
// the key: the loads of each round do not depend on each other, and no
// branch depends on the data. Where the key reaches the last tenth, the
// last entry is counted for each of the nine; callers cap the count.
inline int CountEntriesAtOrBelow(const std::uint8_t *low, const std::uint8_t *high, double w, double key) {
    const auto atOrBelow = [&](int entry) {
        const double y0 = SingleAt(low, kEntryValues * entry), y1 = SingleAt(high, kEntryValues * entry);
        return int(!(key < y0 + w * (y1 - y0)));
    };
    constexpr int kStride = 10, kLastEntry = kIsobarEntries - 1;
    int tenths = 0;
#pragma GCC unroll 8
    for (int entry = kStride; entry <= kLastEntry; entry += kStride) tenths += atOrBelow(entry);
    const int base = tenths * kStride;
    int count = base;
#pragma GCC unroll 9
    for (int j = 1; j < kStride; ++j) count += atOrBelow(std::min(base + j, kLastEntry));
    return count;
}

}  // namespace rudid
