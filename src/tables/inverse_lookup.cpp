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
#include "tables/saturation_place.h"
#include "tables/table_limits.h"

namespace rudid {

namespace {

constexpr KeyVariant kByEnthalpy = {
    kEnthalpyColumn, kLiquidEnthalpy, kVapourEnthalpy,
    kVolumeColumn,   kLiquidVolume,   kVapourVolume,
    kEntropyColumn,  kLiquidEntropy,  kVapourEntropy,
    2107.4L};
constexpr KeyVariant kByEntropy = {
    kEntropyColumn,  kLiquidEntropy,  kVapourEntropy,
    kVolumeColumn,   kLiquidVolume,   kVapourVolume,
    kEnthalpyColumn, kLiquidEnthalpy, kVapourEnthalpy,
    4.4429L};
constexpr KeyVariant kByVolume = {
    kVolumeColumn,   kLiquidVolume,   kVapourVolume,
    kEnthalpyColumn, kLiquidEnthalpy, kVapourEnthalpy,
    kEntropyColumn,  kLiquidEntropy,  kVapourEntropy,
    0.00317L};

// The last entry of an isobar, at 800 degC.
constexpr int kLastEntry = kIsobarEntries - 1;

// Facts about a pair of neighbouring isobars that depend on their bytes
// only; a source that lives for many rows remembers them.
// Each fact is worked out when first asked for: a single call, which
// remembers nothing, then checks only the column of its key.
enum : std::uint8_t {
    kSafetyKnown = 1,
    kPairSafe = 2,
    kColumnRises = 4,     // shifted left by the column
    kColumnKnown = 0x20,  // shifted left by the column
};

// The isobar at pressure p, interpolated between the two isobars of the
// table around it and held in single precision, as the table itself.
//
// An entry is interpolated each time it is asked for. That gives the same
// numbers as interpolating all 243 values up front, and the same failures
// too, provided no value can fail: every value of both records finite and
// well inside the Real48 range, so that no conversion or interpolation with
// a weight in [0, 1] can overflow. A lookup asks for two or three entries,
// which costs less than remembering which ones it has. When a record holds
// anything else, the whole isobar is interpolated at once, in record order,
// the first failing value raising as it would have, and kept.
class WorkingIsobar {
public:
    WorkingIsobar(const TableSource &tables, Extended p) : p_(double(p)) {
        const SinglePhasePressureGrid &grid = SinglePhasePressures();
        const int j = FirstSinglePhasePointAbove(p);
        upperIsobar_ = j;
        records_ = SpanBytes(tables, Table::SinglePhase,
                             ByteSpan{std::uint64_t(j - 2) * kIsobarSize, 2 * kIsobarSize}, scratch_);
        p0_ = grid.point[j - 1];
        p1_ = grid.point[j];
        memo_ = tables.isobarPairFacts ? &tables.isobarPairFacts[j] : nullptr;
        facts_ = memo_ ? *memo_ : 0;
        if (!(facts_ & kSafetyKnown)) {
            facts_ |= kSafetyKnown;
            if (AllValuesSafe(records_)) facts_ |= kPairSafe;
            Remember();
        }
        if (!safe()) {
            const std::uint8_t *above = records_ + kIsobarSize;
            for (int i = 0; i < kIsobarValues; ++i)
                values_[i] = float(Interpolate(p_, p0_, p1_, ValueAt(records_, i), ValueAt(above, i)));
        }
    }
    WorkingIsobar(const WorkingIsobar &) = delete;
    WorkingIsobar &operator=(const WorkingIsobar &) = delete;

    // Whether every value of both records is finite and below 2^126.
    bool safe() const { return facts_ & kPairSafe; }
    // The grid index of the upper isobar.
    int upperIsobar() const { return upperIsobar_; }

    // Whether a column rises strictly from entry to entry in both records,
    // and the two records are of comparable size at each step (within a
    // factor 2^30). Neighbouring singles then differ by at least 2^-24 of
    // the larger, far above the rounding errors of the interpolation (about
    // 2^-62 of the values), so the interpolated column never falls.
    bool ColumnRisesClearly(int column) {
        const auto known = std::uint8_t(kColumnKnown << column);
        if (!(facts_ & known)) {
            facts_ |= known;
            if (RisesClearly(records_, column)) facts_ |= std::uint8_t(kColumnRises << column);
            Remember();
        }
        return facts_ & (kColumnRises << column);
    }

    float value(int entry, int column) const {
        const int i = kEntryValues * entry + column;
        if (!safe()) return values_[i];
        return float(Interpolate(p_, p0_, p1_, SafeValueAt(records_, i), SafeValueAt(records_ + kIsobarSize, i)));
    }

    // A guess at the first entry (1..kLastEntry) whose interpolated value
    // in the column exceeds the key, from a cheap approximation of the
    // interpolated column in double precision (CountEntriesAtOrBelow). Only
    // a guess: the caller tests it exactly.
    int EstimatedInterval(int column, Extended key) const {
        const double w = (p_ - p0_) / (p1_ - p0_);
        const std::uint8_t *a = records_ + 4 * column;
        return std::min(CountEntriesAtOrBelow(a, a + kIsobarSize, w, double(key)) + 1, kLastEntry);
    }

private:
    // The facts go back to the source that keeps them for the pair, if any.
    void Remember() {
        if (memo_) *memo_ = facts_;
    }

    static bool RisesClearly(const std::uint8_t *records, int column) {
        const std::uint8_t *a = records;
        const std::uint8_t *b = records + kIsobarSize;
        // Every step is tested, without a branch on the data: a column that
        // passes (the common case) is tested whole either way. Each value
        // is read once and carried to the next step.
        bool rises = true;
        float a0 = SingleAt(a, column), b0 = SingleAt(b, column);
        float absA0 = std::fabs(a0), absB0 = std::fabs(b0);
        for (int k = 1; k <= kLastEntry; ++k) {
            const float a1 = SingleAt(a, kEntryValues * k + column), b1 = SingleAt(b, kEntryValues * k + column);
            const float absA1 = std::fabs(a1), absB1 = std::fabs(b1);
            const float sizeA = std::max(absA0, absA1);
            const float sizeB = std::max(absB0, absB1);
            rises &= (a0 < a1) & (b0 < b1) & (sizeA <= sizeB * 0x1p30f) & (sizeB <= sizeA * 0x1p30f);
            a0 = a1, b0 = b1, absA0 = absA1, absB0 = absB1;
        }
        return rises;
    }

    static bool AllValuesSafe(const std::uint8_t *records) {
        // A magnitude's bits of 2^126 or more carry into a single's sign bit
        // when 2^31 less 2^126's bits are added; two singles at a time, four
        // running results, so that the pass costs little.
        // The pairs are read in place: copying both records first cost more
        // than the test.
        constexpr int kPairs = kIsobarValues;  // 486 pairs, 972 singles
        constexpr std::uint64_t kMagnitudes = kPairMagnitudes;
        constexpr std::uint64_t kCarry = kPairUnsafeCarry;
        auto pair = [records](int i) {
            std::uint64_t bits;
            std::memcpy(&bits, records + 8 * i, sizeof bits);
            return bits;
        };
        std::uint64_t carried[4] = {};
        for (int i = 0; i < kPairs - kPairs % 4; i += 4)
            for (int lane = 0; lane < 4; ++lane) carried[lane] |= (pair(i + lane) & kMagnitudes) + kCarry;
        for (int i = kPairs - kPairs % 4; i < kPairs; ++i) carried[0] |= (pair(i) & kMagnitudes) + kCarry;
        return ((carried[0] | carried[1] | carried[2] | carried[3]) & kPairSignBits) == 0;
    }

    // A Real48 value and grid pressures (singles), exact in a double.
    double p_, p0_, p1_;
    int upperIsobar_;
    const std::uint8_t *records_;  // the isobars below and above p, one after the other
    std::uint8_t facts_;
    std::uint8_t *memo_;  // the source's byte for this pair, or null
    float values_[kIsobarValues];  // the whole isobar, for unsafe records only
    std::uint8_t scratch_[2 * kIsobarSize];
};

// The interval of the working isobar that holds a key: its upper entry k
// (1..kLastEntry), the first whose value exceeds the key, kLastEntry when
// none does; and the column's values at its two ends, which the lookup
// reads again for its anchors and its test against the saturated keys.
struct KeyInterval {
    int upper;  // -1 when the key lies below the first entry or above the last
    float below, above;
};

KeyInterval TemperatureInterval(WorkingIsobar &isobar, int column, Extended key) {
    if (isobar.ColumnRisesClearly(column)) {
        // On a column that never falls the answer is the i with
        // value(i - 1) <= key < value(i) (or i = kLastEntry when the key
        // reaches the last value), and such an i also puts the key inside
        // the column. An estimate is moved until it passes these exact
        // tests, which interpolate the two entries that the lookup needs
        // next anyway.
        int i = isobar.EstimatedInterval(column, key);
        for (;;) {
            const float below = isobar.value(i - 1, column);
            if (key < below) {
                if (i == 1) return {-1, 0, 0};
                --i;
                continue;
            }
            const float above = isobar.value(i, column);
            if (i < kLastEntry && !(key < above)) {
                ++i;
                continue;
            }
            if (i == kLastEntry && key > above) return {-1, 0, 0};
            return {i, below, above};
        }
    }
    if (key < isobar.value(0, column) || key > isobar.value(kLastEntry, column)) return {-1, 0, 0};
    int k = 1;
    while (k < kLastEntry && !(key < isobar.value(k, column))) ++k;
    return {k, isobar.value(k - 1, column), isobar.value(k, column)};
}

// One end of an interpolation: key, temperature and the two other
// properties. Table singles, grid temperatures and Real48 values, which a
// double holds exactly and which cross memory faster in one.
struct Anchor {
    double key, temperature, second, third;
};

// Entry k of the working isobar, whose key is keyValue; of the other two
// properties only those wanted.
Anchor EntryAnchor(WorkingIsobar &isobar, const KeyVariant &kv, int k, float keyValue, unsigned wanted) {
    Anchor anchor{double(SingleValue(keyValue)), double(kEntryStep * k), 0, 0};
    if (wanted & kWantSecond) anchor.second = double(SingleValue(isobar.value(k, kv.secondColumn)));
    if (wanted & kWantThird) anchor.third = double(SingleValue(isobar.value(k, kv.thirdColumn)));
    return anchor;
}

// Written straight into the caller's state: an extended value crosses
// memory slowly.
void Between(Extended key, const Anchor &a, const Anchor &b, Extended quality, unsigned wanted,
             InverseValues *state) {
    if (wanted & kWantTemperature) state->temperature = Interpolate(key, a.key, b.key, a.temperature, b.temperature);
    if (wanted & kWantSecond) state->second = Interpolate(key, a.key, b.key, a.second, b.second);
    if (wanted & kWantThird) state->third = Interpolate(key, a.key, b.key, a.third, b.third);
    state->quality = quality;
}

// Between, telling the place which ends it interpolated between.
void Ends(Extended key, const Anchor &a, const Anchor &b, Extended quality, unsigned wanted, InverseValues *state,
          LookupPath *path) {
    Between(key, a, b, quality, wanted, state);
    if (!path->wantsPlace) return;
    for (int i = 0; i < 2; ++i) {
        const Anchor &end = i == 0 ? a : b;
        path->end[i][0] = end.key, path->end[i][1] = end.temperature;
        path->end[i][2] = end.second, path->end[i][3] = end.third;
    }
}

void TwoPhase(SaturationPoint &sat, const KeyVariant &kv, Extended key, unsigned wanted, InverseValues *state) {
    const Extended kf = sat.field(kv.keyLiquid);
    const Extended kg = sat.field(kv.keyVapour);
    // Where the liquid and vapour keys coincide (the critical point) the key
    // equals both: the state is the saturated liquid, without a 0/0 quality.
    const Extended x = kg == kf ? 0.0L : RoundToReal48((key - kf) / (kg - kf));
    auto mix = [&](int liquid, int vapour) {
        return RoundToReal48((1 - x) * sat.field(liquid) + x * sat.field(vapour));
    };
    state->quality = x;
    if (wanted & kWantSecond) state->second = mix(kv.secondLiquid, kv.secondVapour);
    if (wanted & kWantThird) state->third = mix(kv.thirdLiquid, kv.thirdVapour);
    state->temperature = sat.field(kSaturationLevel);
}

// The saturated keys and the two other properties, for the place of a wet
// state (every field of a safe point is interpolated on demand and cannot
// fail; an unsafe point holds all seven already).
void PlaceWet(SaturationPoint &sat, const KeyVariant &kv, LookupPath *path) {
    const int fields[2][3] = {{kv.keyLiquid, kv.secondLiquid, kv.thirdLiquid},
                              {kv.keyVapour, kv.secondVapour, kv.thirdVapour}};
    for (int side = 0; side < 2; ++side)
        for (int i = 0; i < 3; ++i) path->saturated[side][i] = double(sat.field(fields[side][i]));
}


// The saturated liquid's and vapour's keys, kf and kg, as the comparisons
// of the lookup ask for them: on their rough values first where the policy
// and the records allow, exactly where those leave the answer open.
template <class Decide>
class SaturatedKeys {
public:
    SaturatedKeys(SaturationPoint &sat, const KeyVariant &kv, LookupPath *path)
        : sat_(sat), kv_(kv), path_(path), bound_(Decide::kBoundFirst && sat.bounded()) {
        if (bound_) {
            kf_ = sat.rough(kv.keyLiquid);
            kg_ = sat.rough(kv.keyVapour);
        }
    }

    Extended liquid() { return sat_.field(kv_.keyLiquid); }
    Extended vapour() { return sat_.field(kv_.keyVapour); }

    // kf <= k <= kg: the state is wet.
    bool Wet(Extended k) {
        if (bound_ && (k < kf_.value - kf_.error || k > kg_.value + kg_.error)) return false;
        Open();
        return liquid() <= k && k <= vapour();
    }

    // kg < above and kf > below: the interval of the working isobar between
    // the keys below and above holds the whole two-phase region.
    bool Straddled(float below, float above) {
        if (bound_ && (kg_.value - kg_.error >= above || kf_.value + kf_.error <= below)) return false;
        Open();
        return vapour() < above && liquid() > below;
    }

    // k > kg: a state outside the two-phase region is vapour.
    bool Vapour(Extended k) {
        if (bound_ && k > kg_.value + kg_.error) return true;
        if (bound_ && k < kg_.value - kg_.error) return false;
        Open();
        return k > vapour();
    }

private:
    void Open() { path_->exactFallback = true; }

    SaturationPoint &sat_;
    const KeyVariant &kv_;
    LookupPath *path_;
    bool bound_;
    Rough kf_{}, kg_{};
};

// The state outside the two-phase region, below the critical pressure: in
// the interval of the working isobar that holds the key, or between the
// saturated state and the table entry where that interval straddles the
// two-phase region.
template <class Decide>
bool Superheated(WorkingIsobar &isobar, SaturationPoint &sat, SaturatedKeys<Decide> &keys, const KeyVariant &kv,
                 Extended k, unsigned wanted, InverseValues *state, LookupPath *path) {
    const KeyInterval interval = TemperatureInterval(isobar, kv.keyColumn, k);
    const int i = interval.upper;
    if (i < 0) return false;
    if (!isobar.safe()) wanted = kWantAllOutputs;
    path->lowerEntry = i - 1;
    path->upperEntry = i;
    const Anchor below = EntryAnchor(isobar, kv, i - 1, interval.below, wanted);
    const Anchor above = EntryAnchor(isobar, kv, i, interval.above, wanted);
    path->straddling = keys.Straddled(interval.below, interval.above);
    path->vapour = keys.Vapour(k);
    // The saturated end of a straddling interval; of the other two
    // properties only those wanted. (The saturation temperature is asked
    // for only here: with safe records no field can fail, and with unsafe
    // ones all were interpolated when the point was made.)
    auto saturated = [&](Extended key, int second, int third) {
        return Anchor{double(key), double(sat.field(kSaturationLevel)),
                      wanted & kWantSecond ? double(sat.field(second)) : 0,
                      wanted & kWantThird ? double(sat.field(third)) : 0};
    };
    if (path->straddling && path->vapour) {
        Ends(k, saturated(keys.vapour(), kv.secondVapour, kv.thirdVapour), above, 1, wanted, state, path);
    } else if (path->straddling) {
        Ends(k, below, saturated(keys.liquid(), kv.secondLiquid, kv.thirdLiquid), 0, wanted, state, path);
    } else {
        Ends(k, below, above, path->vapour ? 1 : 0, wanted, state, path);
    }
    return true;
}

}  // namespace

const KeyVariant &VariantOf(InverseKey key) {
    switch (key) {
        case InverseKey::Enthalpy: return kByEnthalpy;
        case InverseKey::Entropy: return kByEntropy;
        case InverseKey::Volume: break;
    }
    return kByVolume;
}

// Flattened: the steps above pass extended values, which cross a call
// through memory; inlined, they stay in the floating-point unit.
template <class Decide>
__attribute__((flatten)) bool LookupInverse(const TableSource &tables, InverseKey variant, Extended p, Extended k,
                                            unsigned wanted, InverseValues *state, LookupPath *path) {
    const KeyVariant &kv = VariantOf(variant);
    LookupPath unused;
    if (!path) path = &unused;
    MoveInsideTheGrid(&p);
    path->pressure = p;

    if (p > kCriticalPressure) {
        WorkingIsobar isobar(tables, p);
        path->isobar = isobar.upperIsobar();
        const KeyInterval interval = TemperatureInterval(isobar, kv.keyColumn, k);
        const int i = interval.upper;
        if (i < 0) return false;
        if (!isobar.safe()) wanted = kWantAllOutputs;
        path->lowerEntry = i - 1;
        path->upperEntry = i;
        path->vapour = k > kv.criticalKey;
        Ends(k, EntryAnchor(isobar, kv, i - 1, interval.below, wanted),
             EntryAnchor(isobar, kv, i, interval.above, wanted), path->vapour ? 1 : 0, wanted, state, path);
        return true;
    }

    path->belowCritical = true;
    SaturationPoint sat = SaturationAtPressure(tables, p);
    if (!sat.safe()) wanted = kWantAllOutputs;
    if (path->wantsPlace) PlaceOnTheLine(sat, path);
    SaturatedKeys<Decide> keys(sat, kv, path);
    if (keys.Wet(k)) {
        path->twoPhase = true;
        TwoPhase(sat, kv, k, wanted, state);
        if (path->wantsPlace) PlaceWet(sat, kv, path);
        return true;
    }
    WorkingIsobar isobar(tables, p);
    path->isobar = isobar.upperIsobar();
    return Superheated<Decide>(isobar, sat, keys, kv, k, wanted, state, path);
}

template bool LookupInverse<ExactDecisions>(const TableSource &, InverseKey, Extended, Extended, unsigned,
                                            InverseValues *, LookupPath *);
template bool LookupInverse<BoundedDecisions>(const TableSource &, InverseKey, Extended, Extended, unsigned,
                                              InverseValues *, LookupPath *);

}  // namespace rudid
