// States given by a pair that property functions take: each other property
// from the function of that pair (with a quality, from the saturation line
// by the other given property), and the phase, told by the side of the
// saturation line the pressure-temperature lookup found, by the saturation
// temperature at the pressure or by the quality the functions answer.
#include <cmath>
#include <utility>

#include "api/state_solver.h"
#include "tables/lookup_pt.h"

namespace rudid {

namespace {

// The rows being solved, with the given values of each property.
struct Rows {
    const StateSetting &setting;
    GivenPair pair;
    std::size_t n;
    const double *first, *second;
    StateBlock *block;
    // Null, or where the side of the line of each row goes: a pressure and
    // a temperature given and the phase needed.
    Evaluation *side;
};

bool Given(const Rows &rows, int property) { return rows.pair.first == property || rows.pair.second == property; }
const double *GivenValues(const Rows &rows, int property) {
    return rows.pair.first == property ? rows.first : rows.second;
}
std::size_t At(std::size_t i, int property) { return std::size_t(kStateProperties) * i + std::size_t(property); }

void Store(const Rows &rows, int property, const Evaluation &column) {
    StateBlock &block = *rows.block;
    for (std::size_t i = 0; i < rows.n; ++i) {
        block.values[At(i, property)] = column.value[i];
        block.codes[At(i, property)] = column.code[i];
        if (!column.flags.empty()) block.flags[At(i, property)] = column.flags[i];
    }
}

// The properties not given (and needed) that a function of the pair
// answers, the pair in its order or swapped: those of each order looked up
// together, once a row, with the side of the line where it is wanted.
// Marks them in done.
void EvaluateWithThePair(const Rows &rows, unsigned *done) {
    const int a = QuantityOfProperty(rows.pair.first), b = QuantityOfProperty(rows.pair.second);
    for (const bool swapped : {false, true}) {
        const ExportDescriptor *fns[kMostColumns];
        int properties[kMostColumns], count = 0;
        for (int property = 0; property < kStateProperties && count < kMostColumns; ++property) {
            if (Given(rows, property) || !(rows.setting.needed & 1u << property) || (*done >> property & 1)) continue;
            const int result = QuantityOfProperty(property);
            if (const ExportDescriptor *fn = swapped ? ExportFor(result, b, a) : ExportFor(result, a, b))
                fns[count] = fn, properties[count++] = property;
        }
        const bool pressureFirst = (swapped ? b : a) == RUDID_PRESSURE;
        const bool withSide = rows.side && pressureFirst && count < kMostColumns;
        if (withSide) fns[count] = &SideOfTheLine(), properties[count++] = -1;
        if (count == 0) continue;
        Evaluation columns[kMostColumns];
        EvaluateTogether(rows.setting, fns, count, rows.n, swapped ? rows.second : rows.first,
                         swapped ? rows.first : rows.second, columns, rows.setting.flags);
        for (int c = 0; c < count; ++c) {
            if (properties[c] < 0) {
                *rows.side = std::move(columns[c]);
                continue;
            }
            Store(rows, properties[c], columns[c]);
            *done |= 1u << properties[c];
        }
    }
}

// A property no function of the pair answers: with a quality given, from
// the saturation function of the other given property. Left NaN (and its
// code for the phase to set) otherwise: the quality at a pressure and
// temperature.
void EvaluateOnTheLine(const Rows &rows, int property) {
    if (!Given(rows, RUDID_STATE_X)) return;
    const int other = rows.pair.first == RUDID_STATE_X ? rows.pair.second : rows.pair.first;
    const ExportDescriptor *line =
        ExportFor(QuantityOfProperty(property), QuantityOfProperty(other), RUDID_NO_QUANTITY);
    if (!line) return;
    const double *values = GivenValues(rows, other);
    Evaluation column;
    EvaluateRows(rows.setting, *line, rows.n, values, values, &column, rows.setting.flags);
    Store(rows, property, column);
}

void Evaluate(const Rows &rows, const ExportDescriptor &fn, const double *first, const double *second,
              Evaluation *out) {
    EvaluateRows(rows.setting, fn, rows.n, first, second, out);
}

// A quality given: saturated liquid, wet steam or saturated vapour where
// the saturation line answers.
void PhaseByGivenQuality(const Rows &rows) {
    StateBlock &block = *rows.block;
    for (std::size_t i = 0; i < rows.n; ++i) {
        const double x = block.values[At(i, RUDID_STATE_X)];
        if (block.codes[At(i, RUDID_STATE_T)] != 0 || block.codes[At(i, RUDID_STATE_P)] != 0 || !(x >= 0 && x <= 1))
            continue;
        block.phase[i] = x == 0 ? RUDID_PHASE_SATURATED_LIQUID
                         : x == 1 ? RUDID_PHASE_SATURATED_VAPOUR
                                  : RUDID_PHASE_WET_STEAM;
    }
}

// Above the critical pressure there is no saturation line and no quality:
// a liquid below the critical temperature, supercritical above it (the
// saturation function's own refusal tells which).
void PhaseAboveCritical(const Rows &rows, const std::vector<std::size_t> &which) {
    StateBlock &block = *rows.block;
    std::vector<double> temperatures;
    for (std::size_t i : which) {
        block.codes[At(i, RUDID_STATE_X)] = RUDID_NO_QUALITY;
        block.values[At(i, RUDID_STATE_X)] = NAN;
        const std::size_t t = At(i, RUDID_STATE_T);
        temperatures.push_back(block.codes[t] == 0 ? block.values[t] : 0);
    }
    if (which.empty()) return;
    Evaluation saturation;
    EvaluateRows(rows.setting, *ExportFor(RUDID_PRESSURE, RUDID_TEMPERATURE, RUDID_NO_QUANTITY), which.size(),
                 temperatures.data(), temperatures.data(), &saturation);
    for (std::size_t j = 0; j < which.size(); ++j) {
        if (block.codes[At(which[j], RUDID_STATE_T)] != 0) continue;
        if (saturation.code[j] == 0)
            block.phase[which[j]] = RUDID_PHASE_COMPRESSED_LIQUID;
        else if (saturation.code[j] == RUDID_TEMPERATURE_ABOVE_CRITICAL)
            block.phase[which[j]] = RUDID_PHASE_SUPERCRITICAL_FLUID;
    }
}

void SetNoQuality(StateBlock *block, std::size_t i) {
    block->values[At(i, RUDID_STATE_X)] = NAN;
    block->codes[At(i, RUDID_STATE_X)] = RUDID_NO_QUALITY;
    block->flags[At(i, RUDID_STATE_X)] = 0;
}

// From a pressure and a temperature: the side of the saturation line.
void PhaseByTemperature(const Rows &rows, std::size_t i, double saturation) {
    const double t = GivenValues(rows, RUDID_STATE_T)[i];
    rows.block->phase[i] = t == saturation ? RUDID_PHASE_SATURATION_LINE
                           : t < saturation ? RUDID_PHASE_COMPRESSED_LIQUID
                                            : RUDID_PHASE_SUPERHEATED_VAPOUR;
    SetNoQuality(rows.block, i);
}

// From a pressure and h, s or v: the quality the functions answer tells wet
// steam; at 0 or 1 the given property equals that of the saturated liquid
// or vapour only on the line.
void PhaseByQuality(const Rows &rows, std::size_t i, int other, int saturationCode, const Evaluation &liquid,
                    const Evaluation &vapour) {
    StateBlock &block = *rows.block;
    const std::size_t q = At(i, RUDID_STATE_X);
    if (block.codes[q] != 0) return;
    const double x = block.values[q], given = GivenValues(rows, other)[i];
    const bool wet = x > 0 && x < 1;
    if (saturationCode != 0 && !wet) {  // a 0 or 1 cannot be placed without the saturated state
        block.values[q] = NAN, block.codes[q] = saturationCode, block.flags[q] = 0;
        return;
    }
    int phase = RUDID_PHASE_UNKNOWN;
    if (wet)
        phase = RUDID_PHASE_WET_STEAM;
    else if (x == 0 && liquid.code[i] == 0)
        phase = given == liquid.value[i] ? RUDID_PHASE_SATURATED_LIQUID : RUDID_PHASE_COMPRESSED_LIQUID;
    else if (x == 1 && vapour.code[i] == 0)
        phase = given == vapour.value[i] ? RUDID_PHASE_SATURATED_VAPOUR : RUDID_PHASE_SUPERHEATED_VAPOUR;
    block.phase[i] = phase;
    if (phase == RUDID_PHASE_UNKNOWN || phase == RUDID_PHASE_COMPRESSED_LIQUID ||
        phase == RUDID_PHASE_SUPERHEATED_VAPOUR)
        SetNoQuality(&block, i);
}

// A pressure and a temperature given, placed by the saturation function's
// answer at the pressure: its code, and its temperature.
void PlaceBySaturation(const Rows &rows, std::size_t i, int code, double saturation,
                       std::vector<std::size_t> *aboveCritical) {
    if (code == RUDID_PRESSURE_ABOVE_CRITICAL)
        aboveCritical->push_back(i);
    else if (code != 0)  // why no phase can be told
        rows.block->codes[At(i, RUDID_STATE_X)] = code;
    else
        PhaseByTemperature(rows, i, saturation);
}

// A pressure and a temperature given: the side of the line the lookup
// found places each state it answered; the saturation temperature the
// others (outside the tables, or within the band around the line that the
// lookup refuses), as for any pressure.
void PhaseBySide(const Rows &rows) {
    const Evaluation &side = *rows.side;
    const double *pressures = GivenValues(rows, RUDID_STATE_P);
    std::vector<std::size_t> aboveCritical, others;
    std::vector<double> otherPressures;
    for (std::size_t i = 0; i < rows.n; ++i) {
        if (side.code[i] != 0) {
            others.push_back(i), otherPressures.push_back(pressures[i]);
        } else if (side.value[i] == double(LineSide::AboveCritical)) {
            aboveCritical.push_back(i);
        } else {
            rows.block->phase[i] = side.value[i] == double(LineSide::Liquid) ? RUDID_PHASE_COMPRESSED_LIQUID
                                                                             : RUDID_PHASE_SUPERHEATED_VAPOUR;
            SetNoQuality(rows.block, i);
        }
    }
    if (!others.empty()) {
        Evaluation saturation;
        EvaluateRows(rows.setting, *ExportFor(RUDID_TEMPERATURE, RUDID_PRESSURE, RUDID_NO_QUANTITY), others.size(),
                     otherPressures.data(), otherPressures.data(), &saturation);
        for (std::size_t j = 0; j < others.size(); ++j)
            PlaceBySaturation(rows, others[j], saturation.code[j], saturation.value[j], &aboveCritical);
    }
    PhaseAboveCritical(rows, aboveCritical);
}

// A pressure given: the saturation temperature at it places the state.
void PhaseByPressure(const Rows &rows) {
    const int other = rows.pair.first == RUDID_STATE_P ? rows.pair.second : rows.pair.first;
    const double *pressures = GivenValues(rows, RUDID_STATE_P);
    Evaluation saturation, liquid, vapour;
    Evaluate(rows, *ExportFor(RUDID_TEMPERATURE, RUDID_PRESSURE, RUDID_NO_QUANTITY), pressures, pressures,
             &saturation);
    if (other != RUDID_STATE_T) {
        const ExportDescriptor &mixture = *ExportFor(QuantityOfProperty(other), RUDID_PRESSURE, RUDID_QUALITY);
        const std::vector<double> zeros(rows.n, 0.0), ones(rows.n, 1.0);
        Evaluate(rows, mixture, pressures, zeros.data(), &liquid);
        Evaluate(rows, mixture, pressures, ones.data(), &vapour);
    }
    std::vector<std::size_t> aboveCritical;
    for (std::size_t i = 0; i < rows.n; ++i) {
        const int code = saturation.code[i];
        if (other == RUDID_STATE_T)
            PlaceBySaturation(rows, i, code, saturation.value[i], &aboveCritical);
        else if (code == RUDID_PRESSURE_ABOVE_CRITICAL)
            aboveCritical.push_back(i);
        else
            PhaseByQuality(rows, i, other, code, liquid, vapour);
    }
    PhaseAboveCritical(rows, aboveCritical);
}

}  // namespace

void SolveByFunctions(const StateSetting &setting, GivenPair pair, std::size_t n, const double *first,
                      const double *second, StateBlock *block) {
    ResizeBlock(block, n);
    const bool pressureAndTemperature = (pair.first == RUDID_STATE_P && pair.second == RUDID_STATE_T) ||
                                        (pair.first == RUDID_STATE_T && pair.second == RUDID_STATE_P);
    Evaluation side;
    const Rows rows{setting, pair, n, first, second, block,
                    pressureAndTemperature && (setting.needed & kStatePhase) ? &side : nullptr};
    for (int property = 0; property < kStateProperties; ++property) {
        if (!Given(rows, property)) continue;
        const double *values = GivenValues(rows, property);
        for (std::size_t i = 0; i < n; ++i) block->values[At(i, property)] = values[i];
    }
    unsigned done = 0;
    EvaluateWithThePair(rows, &done);
    for (int property = 0; property < kStateProperties; ++property)
        if (!Given(rows, property) && (setting.needed & 1u << property) && !(done >> property & 1))
            EvaluateOnTheLine(rows, property);
    if (Given(rows, RUDID_STATE_X))
        PhaseByGivenQuality(rows);
    else if (rows.side && rows.side->code.size() == n)
        PhaseBySide(rows);
    else if (Given(rows, RUDID_STATE_P) && (setting.needed & kStatePhase))
        PhaseByPressure(rows);
}

}  // namespace rudid
