// The numbers the library is built on, each defined here once: the units
// its arithmetic runs in, the range and grids of the three tables, where
// their saturation line ends, and the thresholds that decide a phase, a
// refusal or a flag. Internal units throughout: bar, degrees Celsius,
// kJ/kg, kJ/(kg K), m3/kg.
#pragma once

#include "common/real48.h"

namespace rudid {

// --- Units -----------------------------------------------------------------

constexpr Extended kCelsiusZero = 273.15L;  // K at 0 degC
constexpr Extended kKilopascalPerBar = 100;
constexpr Extended kBarPerMegapascal = 10;
// The specific gas constant of water, kJ/(kg K).
constexpr Extended kWaterGasConstant = 0.461526L;

// --- The tables' range ---------------------------------------------------
// The decimal limits are the nearest extended values; no Real48 equals one
// of them, so strict and non-strict comparisons agree there.

constexpr Extended kLowestPressure = 0.01L;
constexpr Extended kHighestPressure = 1000;
constexpr Extended kLowestTemperature = 0;
constexpr Extended kHighestTemperature = 800;

// Where the saturation line ends in the tables: their critical point.
constexpr Extended kCriticalPressure = 221.2L;
constexpr Extended kCriticalTemperature = 374.15L;

// Below the triple point's temperature (degC) the saturation table by
// temperature answers from fixed values, not from its records.
constexpr Extended kTriplePointTemperature = 0.01L;

// A state this close to its saturation temperature (degC) has no single-
// phase answer.
constexpr Extended kSaturationBand = 0.001L;

// --- The tables' grids ---------------------------------------------------

// Single-phase table: isobars of entries at 0, 10, ... 800 degC, each entry
// v, h, s.
constexpr int kSinglePhaseGridPoints = 224;  // isobars, 0.01 to 1000 bar
constexpr int kIsobarEntries = 81;
constexpr int kEntryStep = 10;   // degC from one entry to the next
constexpr int kEntryValues = 3;  // v, h, s
// Saturation table by pressure: 0.01 to 221.2 bar.
constexpr int kSaturationGridPoints = 292;
// Saturation table by temperature: 0, 1, ... 374 degC and the critical
// point.
constexpr int kSaturationTemperatureRecords = 377;
// Fields of a saturation record: the level (temperature or pressure), then
// v, h and s of the liquid and of the vapour.
constexpr int kSaturationFields = 7;
// The records hold four-byte singles.
constexpr int kEntrySize = kEntryValues * 4;
constexpr int kIsobarSize = kIsobarEntries * kEntrySize;  // 972 bytes
constexpr int kSaturationRecordSize = kSaturationFields * 4;

// --- Table answers' flags -------------------------------------------------

// Cells around the critical point: a cell that reaches into this box holds
// states whose properties change faster than any grid of the tables can
// follow.
constexpr Extended kCriticalBoxLowPressure = 200;
constexpr Extended kCriticalBoxHighPressure = 260;
constexpr Extended kCriticalBoxLowTemperature = 360;
constexpr Extended kCriticalBoxHighTemperature = 400;

// The interpolated saturation temperature is uncertain by about the bend of
// the records' temperatures; states closer to it than this many times that
// error, or than the floor (degC), may be answered for the other phase.
constexpr Extended kSaturationMarginFactor = 2;
constexpr Extended kSaturationMarginFloor = 0.01L;

// The grid counts as coarse where the bend of the table's own values says
// that linear interpolation may be off by more than this share of the
// answer: of the absolute temperature, and of at least 1 kJ/kg and
// 0.01 kJ/(kg K), where enthalpy and entropy pass through zero.
constexpr Extended kCoarseShare = 0.004L;
constexpr Extended kEnthalpyScale = 1;
constexpr Extended kEntropyScale = 0.01L;

// --- Refined answers ------------------------------------------------------

// A table temperature closer than this (degC) to the saturation temperature
// is left out of its phase's nodes: the saturated state stands there
// instead, and two nodes so close would turn the tables' rounding into
// wiggles.
constexpr Extended kSaturationClearance = 3;

// Where refined answers still miss by more than 1 % and are flagged: the
// supercritical box, and the saturation line above its own corner.
constexpr Extended kRefinedRegionLowPressure = 200, kRefinedRegionHighPressure = 300;
constexpr Extended kRefinedRegionLowTemperature = 360, kRefinedRegionHighTemperature = 420;
constexpr Extended kRefinedSaturationPressure = 200, kRefinedSaturationTemperature = 365;

}  // namespace rudid
