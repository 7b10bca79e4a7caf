#include "tables/inverse_lookup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "common/interpolation.h"
#include "tables/pressure_grids.h"
#include "tables/record_fields.h"
#include "tables/saturation_by_pressure.h"
#include "tables/single_phase_table.h"

namespace rudid {

namespace {

// What distinguishes the three lookups: the key's column, the columns of
// the two other properties, and where each sits in the saturation state.
struct KeyVariant {
    int keyColumn;
    int keyLiquid, keyVapour;
    int secondColumn, secondLiquid, secondVapour;
    int thirdColumn, thirdLiquid, thirdVapour;
    // Above the critical pressure the quality says on which side of the
    // critical point's key value the state lies.
    Extended criticalKey;
    bool vapourAtCriticalKey;  // a key equal to criticalKey counts as vapour
};

constexpr KeyVariant kByEnthalpy = {
    kEnthalpyColumn, kLiquidEnthalpy, kVapourEnthalpy,
    kVolumeColumn,   kLiquidVolume,   kVapourVolume,
    kEntropyColumn,  kLiquidEntropy,  kVapourEntropy,
    2107.4L,         false};
constexpr KeyVariant kByEntropy = {
    kEntropyColumn,  kLiquidEntropy,  kVapourEntropy,
    kVolumeColumn,   kLiquidVolume,   kVapourVolume,
    kEnthalpyColumn, kLiquidEnthalpy, kVapourEnthalpy,
    4.4429L,         false};
constexpr KeyVariant kByVolume = {
    kVolumeColumn,   kLiquidVolume,   kVapourVolume,
    kEnthalpyColumn, kLiquidEnthalpy, kVapourEnthalpy,
    kEntropyColumn,  kLiquidEntropy,  kVapourEntropy,
    0.00317L,        true};

// The isobar at pressure p, interpolated between the two isobars of the
// table around it and held in single precision, as the table itself.
//
// An entry is interpolated when it is first needed. That gives the same
// numbers as interpolating all 243 values up front, and the same failures
// too, provided no value can fail: every value of both records finite and
// well inside the Real48 range, so that no conversion or interpolation with
// a weight in [0, 1] can overflow. When a record holds anything else, the
// whole isobar is interpolated at once, in record order, and the first
// failing value raises as it would have.
class WorkingIsobar {
public:
    WorkingIsobar(const TableSource &tables, Extended p) : p_(p) {
        const SinglePhasePressureGrid &grid = SinglePhasePressures();
        const int j = FirstSinglePhasePointAbove(p);
        const ByteSpan span{std::uint64_t(j - 2) * kIsobarSize, sizeof records_};
        ReadSpans(tables, Table::SinglePhase, &span, 1, records_);
        p0_ = grid.point[j - 1];
        p1_ = grid.point[j];
        safe_ = AllValuesSafe();
        if (!safe_)
            for (int i = 0; i < kIsobarEntries * 3; ++i) (void)value(i / 3, i % 3);
    }

    // Whether every value of both records is finite and below 2^126.
    bool safe() const { return safe_; }

    float value(int entry, int column) {
        const int i = 3 * entry + column;
        if (!(known_[i / 64] >> (i % 64) & 1)) {
            values_[i] = float(Interpolate(p_, p0_, p1_, ValueAt(records_, i), ValueAt(records_ + kIsobarSize, i)));
            known_[i / 64] |= std::uint64_t(1) << (i % 64);
        }
        return values_[i];
    }

    // Whether a column rises strictly from entry to entry in both records,
    // and the two records are of comparable size at each step (within a
    // factor 2^30). Neighbouring singles then differ by at least 2^-24 of
    // the larger, far above the rounding errors of the interpolation (about
    // 2^-62 of the values), so the interpolated column never falls.
    bool ColumnRisesClearly(int column) const {
        const std::uint8_t *a = records_;
        const std::uint8_t *b = records_ + kIsobarSize;
        for (int k = 0; k < 80; ++k) {
            const float a0 = SingleAt(a, 3 * k + column), a1 = SingleAt(a, 3 * k + 3 + column);
            const float b0 = SingleAt(b, 3 * k + column), b1 = SingleAt(b, 3 * k + 3 + column);
            if (!(a0 < a1 && b0 < b1)) return false;
            const float sizeA = std::max(std::fabs(a0), std::fabs(a1));
            const float sizeB = std::max(std::fabs(b0), std::fabs(b1));
            if (!(sizeA <= sizeB * 0x1p30f && sizeB <= sizeA * 0x1p30f)) return false;
        }
        return true;
    }

private:
    bool AllValuesSafe() const {
        // A magnitude's bits of 2^126 or more carry into a single's sign bit
        // when 2^31 less 2^126's bits are added; two singles at a time, four
        // running results, so that the pass costs little.
        constexpr int kPairs = kIsobarEntries * 3;  // 486 singles
        std::uint64_t pairs[kPairs];
        std::memcpy(pairs, records_, sizeof pairs);
        constexpr std::uint64_t kMagnitudes = 0x7FFFFFFF7FFFFFFFull;
        constexpr std::uint64_t kCarry = 0x0180000001800000ull;
        std::uint64_t carried[4] = {};
        for (int i = 0; i < kPairs - kPairs % 4; i += 4)
            for (int lane = 0; lane < 4; ++lane) carried[lane] |= (pairs[i + lane] & kMagnitudes) + kCarry;
        for (int i = kPairs - kPairs % 4; i < kPairs; ++i) carried[0] |= (pairs[i] & kMagnitudes) + kCarry;
        return ((carried[0] | carried[1] | carried[2] | carried[3]) & 0x8000000080000000ull) == 0;
    }

    Extended p_, p0_, p1_;
    std::uint8_t records_[2 * kIsobarSize];
    float values_[kIsobarEntries * 3];
    std::uint64_t known_[4] = {};
    bool safe_ = true;
};

// The first entry k (1..80) whose key exceeds the given key, 80 when none
// does; -1 when the key lies below entry 0 or above entry 80.
int TemperatureInterval(WorkingIsobar &isobar, int column, Extended key) {
    if (key < isobar.value(0, column) || key > isobar.value(80, column)) return -1;
    if (isobar.ColumnRisesClearly(column)) {
        // On a column that never falls the first entry above the key is
        // found by bisection, with the same answer as the scan below.
        int low = 1, high = 80;  // the answer lies in [low, high]
        while (low < high) {
            const int mid = (low + high) / 2;
            if (key < isobar.value(mid, column))
                high = mid;
            else
                low = mid + 1;
        }
        return low;
    }
    int k = 1;
    while (k < 80 && !(key < isobar.value(k, column))) ++k;
    return k;
}

// One end of an interpolation: key, temperature and the two other
// properties.
struct Anchor {
    Extended key, temperature, second, third;
};

// Entry k of the working isobar; of the other two properties only those
// wanted.
Anchor EntryAnchor(WorkingIsobar &isobar, const KeyVariant &kv, int k, unsigned wanted) {
    Anchor anchor{SingleValue(isobar.value(k, kv.keyColumn)), Extended(10 * k), 0, 0};
    if (wanted & kWantSecond) anchor.second = SingleValue(isobar.value(k, kv.secondColumn));
    if (wanted & kWantThird) anchor.third = SingleValue(isobar.value(k, kv.thirdColumn));
    return anchor;
}

InverseValues Between(Extended key, const Anchor &a, const Anchor &b, Extended quality, unsigned wanted) {
    InverseValues state{};
    if (wanted & kWantTemperature) state.temperature = Interpolate(key, a.key, b.key, a.temperature, b.temperature);
    if (wanted & kWantSecond) state.second = Interpolate(key, a.key, b.key, a.second, b.second);
    if (wanted & kWantThird) state.third = Interpolate(key, a.key, b.key, a.third, b.third);
    state.quality = quality;
    return state;
}

InverseValues TwoPhase(SaturationPoint &sat, const KeyVariant &kv, Extended key, unsigned wanted) {
    const Extended kf = sat.field(kv.keyLiquid);
    const Extended kg = sat.field(kv.keyVapour);
    InverseValues state{};
    // Where the liquid and vapour keys coincide (the critical point) the key
    // equals both: the state is the saturated liquid, without a 0/0 quality.
    const Extended x = kg == kf ? 0.0L : RoundToReal48((key - kf) / (kg - kf));
    auto mix = [&](int liquid, int vapour) {
        return RoundToReal48((1 - x) * sat.field(liquid) + x * sat.field(vapour));
    };
    state.quality = x;
    if (wanted & kWantSecond) state.second = mix(kv.secondLiquid, kv.secondVapour);
    if (wanted & kWantThird) state.third = mix(kv.thirdLiquid, kv.thirdVapour);
    state.temperature = sat.field(kSaturationLevel);
    return state;
}

const KeyVariant &VariantOf(InverseKey key) {
    switch (key) {
        case InverseKey::Enthalpy: return kByEnthalpy;
        case InverseKey::Entropy: return kByEntropy;
        case InverseKey::Volume: break;
    }
    return kByVolume;
}

}  // namespace

int LookupInverse(const TableSource &tables, InverseKey variant, Extended p, Extended k, unsigned wanted,
                  InverseValues *state) {
    const KeyVariant &kv = VariantOf(variant);
    if (p == 1000) p = Real48ToExtended(kJustBelow1000);

    if (p > kCriticalPressure) {
        WorkingIsobar isobar(tables, p);
        const int i = TemperatureInterval(isobar, kv.keyColumn, k);
        if (i < 0) return 1;
        if (!isobar.safe()) wanted = kWantAllOutputs;
        const bool vapourLike = kv.vapourAtCriticalKey ? k >= kv.criticalKey : k > kv.criticalKey;
        *state = Between(k, EntryAnchor(isobar, kv, i - 1, wanted), EntryAnchor(isobar, kv, i, wanted),
                         vapourLike ? 1 : 0, wanted);
        return 0;
    }

    SaturationPoint sat = SaturationPointByPressure(tables, p);
    if (!sat.safe()) wanted = kWantAllOutputs;
    const Extended kf = sat.field(kv.keyLiquid);
    const Extended kg = sat.field(kv.keyVapour);
    if (kf <= k && k <= kg) {
        *state = TwoPhase(sat, kv, k, wanted);
        return 0;
    }

    WorkingIsobar isobar(tables, p);
    const int i = TemperatureInterval(isobar, kv.keyColumn, k);
    if (i < 0) return 1;
    if (!isobar.safe()) wanted = kWantAllOutputs;
    const Anchor below = EntryAnchor(isobar, kv, i - 1, wanted);
    const Anchor above = EntryAnchor(isobar, kv, i, wanted);
    const Extended ts = sat.field(kSaturationLevel);
    const bool straddling = kg < isobar.value(i, kv.keyColumn) && kf > isobar.value(i - 1, kv.keyColumn);
    // The saturated end of a straddling interval; of the other two
    // properties only those wanted.
    auto saturated = [&](Extended key, int second, int third) {
        return Anchor{key, ts, wanted & kWantSecond ? sat.field(second) : 0,
                      wanted & kWantThird ? sat.field(third) : 0};
    };
    if (straddling && k > kg) {
        *state = Between(k, saturated(kg, kv.secondVapour, kv.thirdVapour), above, 1, wanted);
    } else if (straddling) {
        *state = Between(k, below, saturated(kf, kv.secondLiquid, kv.thirdLiquid), 0, wanted);
    } else {
        *state = Between(k, below, above, k > kg ? 1 : 0, wanted);
    }
    return 0;
}

namespace {

int InverseLookup(const TableSource &tables, InverseKey variant, Real48 p, Real48 key, InverseState *state) {
    InverseValues values;
    const int err =
        LookupInverse(tables, variant, Real48ToExtended(p), Real48ToExtended(key), kWantAllOutputs, &values);
    if (err == 0)
        *state = {ExtendedToReal48(values.temperature), ExtendedToReal48(values.second),
                  ExtendedToReal48(values.third), ExtendedToReal48(values.quality)};
    return err;
}

}  // namespace

int LookupPH(const TableSource &tables, Real48 p, Real48 h, InverseState *state) {
    return InverseLookup(tables, InverseKey::Enthalpy, p, h, state);
}

int LookupPS(const TableSource &tables, Real48 p, Real48 s, InverseState *state) {
    return InverseLookup(tables, InverseKey::Entropy, p, s, state);
}

int LookupPV(const TableSource &tables, Real48 p, Real48 v, InverseState *state) {
    return InverseLookup(tables, InverseKey::Volume, p, v, state);
}

}  // namespace rudid
