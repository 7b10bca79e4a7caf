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

class RefinedMemory {
public:
    RefinedMemory();
    RefinedMemory(const RefinedMemory &) = delete;
    RefinedMemory &operator=(const RefinedMemory &) = delete;

    // The scaled fields of `count` consecutive records of a saturation table
    // from record `first`, whose bytes are at `records`.
    const ScaledRecord *Scaled(Table table, int first, int count, const std::uint8_t *records);

    // Raises the table's input/output failure.
    const CriticalPoint &Critical(const TableSource &tables);

private:
    ScaledRecord byPressure_[kSaturationGridPoints];
    ScaledRecord byTemperature_[kSaturationTemperatureRecords];
    std::uint8_t knownByPressure_[kSaturationGridPoints];
    std::uint8_t knownByTemperature_[kSaturationTemperatureRecords];
    CriticalPoint critical_;
    bool criticalKnown_ = false;
};

// What a refined lookup reads: the call's table source and its memory.
struct RefinedTables {
    const TableSource &source;
    RefinedMemory &memory;
};

}  // namespace rudid
