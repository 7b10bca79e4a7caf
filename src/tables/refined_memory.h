// What the refined answers work out from the records of the tables once per
// call and keep for the call's further rows: the saturation records' values
// on the scales the refined saturation line interpolates (logarithms,
// reciprocal temperatures), each record's when a row first needs it, and
// the critical point the tables hold. It lives as long as the call, like
// the table source it reads from: the records cannot change in between, and
// nothing survives the call.
#pragma once

#include <cstdint>

#include "common/real48.h"
#include "tables/pressure_grids.h"
#include "tables/saturation_by_temperature.h"
#include "tables/single_phase_table.h"
#include "tables/table_source.h"

namespace rudid {

// The critical point as the table by pressure holds it: the liquid fields
// of its last record (221.2 bar), where liquid and vapour are equal.
struct CriticalPoint {
    Extended volume, enthalpy, entropy;
};

// The two fields of a saturation record that the refined line does not
// interpolate as they stand: the level (by pressure 1 / T, T in kelvin; by
// temperature ln p) and ln of the vapour volume. Worked out in double
// precision, which carries them far below the six-byte rounding of every
// answer; a value that is not finite and positive gives a NaN or an
// infinity here, never a failure, so that it fails only where it is used.
struct ScaledRecord {
    double level;
    double logVapourVolume;
};

// Whether count singles from `values` on all enter the arithmetic as they
// are (ValueAt gives the single itself): finite, below 2^126 in magnitude,
// and none of them a negative zero or a magnitude below 2^-128 but zero,
// which ValueAt turns into zero.
bool PlainSingles(const std::uint8_t *values, int count);

class RefinedMemory {
public:
    RefinedMemory();
    RefinedMemory(const RefinedMemory &) = delete;
    RefinedMemory &operator=(const RefinedMemory &) = delete;

    // The four records of a saturation table from record `first`, whose
    // bytes are at `records`: their scaled fields, and whether all their
    // singles are plain (PlainSingles).
    struct Stencil {
        const ScaledRecord *scaled;
        bool plain;
    };
    Stencil SaturationStencil(Table table, int first, const std::uint8_t *records) {
        const bool byPressure = table == Table::SaturationOnPressureGrid;
        const std::uint8_t known = (byPressure ? stencilByPressure_ : stencilByTemperature_)[first];
        if (!known) return LearnStencil(table, first, records);
        return {(byPressure ? byPressure_ : byTemperature_) + first, known == kPlain};
    }

    // Whether the two isobars of the single-phase table that end at grid
    // index k (k - 1 and k), whose bytes are at `isobars`, hold plain
    // singles only.
    bool PlainIsobars(int k, const std::uint8_t *isobars) {
        if (!isobarPairs_[k]) isobarPairs_[k] = PlainSingles(isobars, 2 * kIsobarValues) ? kPlain : kNotPlain;
        return isobarPairs_[k] == kPlain;
    }

    // Raises the table's input/output failure.
    const CriticalPoint &Critical(const TableSource &tables);

private:
    enum : std::uint8_t { kUnknown = 0, kPlain = 1, kNotPlain = 2 };
    Stencil LearnStencil(Table table, int first, const std::uint8_t *records);

    ScaledRecord byPressure_[kSaturationGridPoints];
    ScaledRecord byTemperature_[kSaturationTemperatureRecords];
    std::uint8_t knownByPressure_[kSaturationGridPoints];
    std::uint8_t knownByTemperature_[kSaturationTemperatureRecords];
    // Per first record of a stencil, and per isobar pair: kUnknown until
    // a row has read them.
    std::uint8_t stencilByPressure_[kSaturationGridPoints];
    std::uint8_t stencilByTemperature_[kSaturationTemperatureRecords];
    std::uint8_t isobarPairs_[kSinglePhaseGridPoints + 1];
    CriticalPoint critical_;
    bool criticalKnown_ = false;
};

// What a refined lookup reads: the call's table source and its memory.
struct RefinedTables {
    const TableSource &source;
    RefinedMemory &memory;
};

}  // namespace rudid
