#include "tables/refined_memory.h"

#include <cmath>
#include <cstring>

#include "tables/record_fields.h"
#include "tables/refined_shape.h"
#include "tables/saturation_state.h"

namespace rudid {

bool PlainSingles(const std::uint8_t *values, int count) {
    if (!AllSafeSingles(values, count)) return false;
    for (int i = 0; i < count; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, values + 4 * i, 4);
        if (bits != 0 && (bits & 0x7FFFFFFFu) < 0x00200000u) return false;  // 2^-128's bits
    }
    return true;
}

RefinedMemory::RefinedMemory() {
    std::memset(knownByPressure_, 0, sizeof knownByPressure_);
    std::memset(knownByTemperature_, 0, sizeof knownByTemperature_);
    std::memset(stencilByPressure_, 0, sizeof stencilByPressure_);
    std::memset(stencilByTemperature_, 0, sizeof stencilByTemperature_);
    std::memset(isobarPairs_, 0, sizeof isobarPairs_);
}

RefinedMemory::Stencil RefinedMemory::LearnStencil(Table table, int first, const std::uint8_t *records) {
    const bool byPressure = table == Table::SaturationOnPressureGrid;
    ScaledRecord *scaled = (byPressure ? byPressure_ : byTemperature_) + first;
    std::uint8_t *known = (byPressure ? knownByPressure_ : knownByTemperature_) + first;
    for (int i = 0; i < kStencilNodes; ++i) {
        if (known[i]) continue;
        const std::uint8_t *record = records + i * kSaturationRecordSize;
        const double level = SingleAt(record, kSaturationLevel);
        scaled[i].level = StoredDouble(byPressure ? double(1 / (Extended(level) + kCelsiusZero)) : std::log(level));
        scaled[i].logVapourVolume = StoredDouble(std::log(double(SingleAt(record, kVapourVolume))));
        known[i] = 1;
    }
    const bool plain = PlainSingles(records, kStencilNodes * kSaturationFields);
    (byPressure ? stencilByPressure_ : stencilByTemperature_)[first] = plain ? kPlain : kNotPlain;
    return {scaled, plain};
}

const CriticalPoint &RefinedMemory::Critical(const TableSource &tables) {
    if (!criticalKnown_) {
        std::uint8_t scratch[kSaturationRecordSize];
        const ByteSpan span{std::uint64_t(kSaturationGridPoints - 1) * kSaturationRecordSize,
                            kSaturationRecordSize};
        const std::uint8_t *record = SpanBytes(tables, Table::SaturationOnPressureGrid, span, scratch);
        critical_ = {ValueAt(record, kLiquidVolume), ValueAt(record, kLiquidEnthalpy),
                     ValueAt(record, kLiquidEntropy)};
        criticalKnown_ = true;
    }
    return critical_;
}

}  // namespace rudid
