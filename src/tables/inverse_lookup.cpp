#include "tables/inverse_lookup.h"

#include "tables/interpolation.h"
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

const Real48 kZero = {{0, 0, 0, 0, 0, 0}};
const Real48 kOne = {{0x81, 0, 0, 0, 0, 0}};

// The isobar at pressure p, interpolated between the two isobars of the
// table around it and held in single precision, as the table itself.
struct WorkingIsobar {
    float value[kIsobarEntries][3];
};

WorkingIsobar BuildWorkingIsobar(const TableSource &tables, Real48 p) {
    const SinglePhasePressureGrid &grid = SinglePhasePressures();
    const int j = FirstSinglePhasePointAbove(Real48ToExtended(p));

    std::uint8_t records[2 * kIsobarSize];
    const ByteSpan span{std::uint64_t(j - 2) * kIsobarSize, sizeof records};
    ReadSpans(tables, Table::SinglePhase, &span, 1, records);

    const Real48 p0 = SingleToReal48(grid.point[j - 1]);
    const Real48 p1 = SingleToReal48(grid.point[j]);
    WorkingIsobar isobar;
    for (int i = 0; i < kIsobarEntries * 3; ++i) {
        const Real48 r = InterpolateLinear(p, p0, p1, Real48At(records, i),
                                           Real48At(records + kIsobarSize, i));
        isobar.value[i / 3][i % 3] = float(Real48ToExtended(r));
    }
    return isobar;
}

// The first entry k (1..80) whose key exceeds the given key, 80 when none
// does; -1 when the key lies below entry 0 or above entry 80.
int TemperatureInterval(const WorkingIsobar &isobar, int column, Extended key) {
    if (key < isobar.value[0][column] || key > isobar.value[80][column]) return -1;
    int k = 1;
    while (k < 80 && !(key < isobar.value[k][column])) ++k;
    return k;
}

// One end of an interpolation: key, temperature and the two other
// properties.
struct Anchor {
    Real48 key, temperature, second, third;
};

Anchor EntryAnchor(const WorkingIsobar &isobar, const KeyVariant &kv, int k) {
    return Anchor{SingleToReal48(isobar.value[k][kv.keyColumn]), WholeNumber(10 * k),
                  SingleToReal48(isobar.value[k][kv.secondColumn]),
                  SingleToReal48(isobar.value[k][kv.thirdColumn])};
}

InverseState Between(Real48 key, const Anchor &a, const Anchor &b, Real48 quality) {
    InverseState state;
    state.temperature = InterpolateLinear(key, a.key, b.key, a.temperature, b.temperature);
    state.second = InterpolateLinear(key, a.key, b.key, a.second, b.second);
    state.third = InterpolateLinear(key, a.key, b.key, a.third, b.third);
    state.quality = quality;
    return state;
}

InverseState TwoPhase(const SaturationState &sat, const KeyVariant &kv, Real48 key) {
    const Extended kf = Real48ToExtended(sat.field[kv.keyLiquid]);
    const Extended kg = Real48ToExtended(sat.field[kv.keyVapour]);
    InverseState state;
    // Where the liquid and vapour keys coincide (the critical point) the key
    // equals both: the state is the saturated liquid, without a 0/0 quality.
    state.quality = kg == kf ? kZero : ExtendedToReal48((Real48ToExtended(key) - kf) / (kg - kf));
    const Extended x = Real48ToExtended(state.quality);
    auto mix = [&](int liquid, int vapour) {
        return ExtendedToReal48((1 - x) * Real48ToExtended(sat.field[liquid]) +
                                x * Real48ToExtended(sat.field[vapour]));
    };
    state.second = mix(kv.secondLiquid, kv.secondVapour);
    state.third = mix(kv.thirdLiquid, kv.thirdVapour);
    state.temperature = sat.field[kSaturationLevel];
    return state;
}

int InverseLookup(const TableSource &tables, const KeyVariant &kv, Real48 p, Real48 key,
                  InverseState *state) {
    if (Real48ToExtended(p) == 1000) p = kJustBelow1000;
    const Extended k = Real48ToExtended(key);

    if (Real48ToExtended(p) > kCriticalPressure) {
        const WorkingIsobar isobar = BuildWorkingIsobar(tables, p);
        const int i = TemperatureInterval(isobar, kv.keyColumn, k);
        if (i < 0) return 1;
        const bool vapourLike = kv.vapourAtCriticalKey ? k >= kv.criticalKey : k > kv.criticalKey;
        *state = Between(key, EntryAnchor(isobar, kv, i - 1), EntryAnchor(isobar, kv, i),
                         vapourLike ? kOne : kZero);
        return 0;
    }

    const SaturationState sat = SaturationByPressure(tables, p);
    const Extended kf = Real48ToExtended(sat.field[kv.keyLiquid]);
    const Extended kg = Real48ToExtended(sat.field[kv.keyVapour]);
    if (kf <= k && k <= kg) {
        *state = TwoPhase(sat, kv, key);
        return 0;
    }

    const WorkingIsobar isobar = BuildWorkingIsobar(tables, p);
    const int i = TemperatureInterval(isobar, kv.keyColumn, k);
    if (i < 0) return 1;
    const Anchor below = EntryAnchor(isobar, kv, i - 1);
    const Anchor above = EntryAnchor(isobar, kv, i);
    const Real48 ts = sat.field[kSaturationLevel];
    const bool straddling =
        kg < isobar.value[i][kv.keyColumn] && kf > isobar.value[i - 1][kv.keyColumn];
    if (straddling && k > kg) {
        const Anchor vapour{sat.field[kv.keyVapour], ts, sat.field[kv.secondVapour],
                            sat.field[kv.thirdVapour]};
        *state = Between(key, vapour, above, kOne);
    } else if (straddling) {
        const Anchor liquid{sat.field[kv.keyLiquid], ts, sat.field[kv.secondLiquid],
                            sat.field[kv.thirdLiquid]};
        *state = Between(key, below, liquid, kZero);
    } else {
        *state = Between(key, below, above, k > kg ? kOne : kZero);
    }
    return 0;
}

}  // namespace

int LookupPH(const TableSource &tables, Real48 p, Real48 h, InverseState *state) {
    return InverseLookup(tables, kByEnthalpy, p, h, state);
}

int LookupPS(const TableSource &tables, Real48 p, Real48 s, InverseState *state) {
    return InverseLookup(tables, kByEntropy, p, s, state);
}

int LookupPV(const TableSource &tables, Real48 p, Real48 v, InverseState *state) {
    return InverseLookup(tables, kByVolume, p, v, state);
}

}  // namespace rudid
