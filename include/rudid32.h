/*
 * RUDID32: thermodynamic properties of water and steam from property tables.
 *
 * Every property function takes one or two doubles in the units configured in
 * default.cfg and returns the address of a double that holds the answer:
 *
 *   - the property, in the configured unit of its quantity (a quality is a
 *     plain fraction from 0 to 1), or
 *   - a negative error code when the state is outside the tables:
 *       -1001  pressure below 0.01 bar (or above 1000 bar in the
 *              single-phase and inverse functions)
 *       -1002  temperature below 0 C (or above 800 C in AQPPTH/S/V)
 *       -1003  quality below 0 or above 1
 *       -1004  pressure above 221.2 bar (saturation functions)
 *       -1005  temperature above 374.15 C (saturation functions)
 *       -1012  entropy outside the table at that pressure
 *       -1013  specific volume outside the table at that pressure
 *       -1014  enthalpy outside the table at that pressure
 *       -1015  pressure and temperature on the saturation line
 *     Error codes are never unit-converted.
 *
 * The returned double belongs to the calling thread and to that function; the
 * next call of the same function on the same thread overwrites it. Copy the
 * value before calling again.
 *
 * A failure that is not a state out of range (a table file missing,
 * unreadable or too short; an argument that is infinite, NaN or too large
 * for the library's six-byte reals, about 1.7e38) yields no value:
 *
 *   - Linux: the function returns NULL and RudidLastError() gives the code.
 *   - Windows (RUDID32.dll): the function raises the Windows exception
 *     RUDID_EXCEPTION_CODE, whose first parameter is the code; the code is
 *     also kept for RudidLastError().
 *
 * Failure codes: 2 "File not found", 3 "Invalid filename", 4 "Too many open
 * files", 5 "File access denied", 100 "Read beyond end of file", 101 "Disk
 * full", 106 "Invalid numeric input", 200 "Division by zero", 205 "Floating
 * point overflow", 207 "Invalid floating point operation", any other code
 * "I/O error <code>".
 *
 * All functions may be called from several threads at once.
 */
#ifndef RUDID32_H
#define RUDID32_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define RUDID_CALL __cdecl
#else
#define RUDID_CALL
#endif

/* The library itself is built with hidden symbols; only what this header
 * declares is exported (on Windows the module-definition file decides). */
#if defined(RUDID_BUILDING_LIBRARY) && !defined(_WIN32)
#define RUDID_API __attribute__((visibility("default")))
#else
#define RUDID_API
#endif

/* Windows exception raised by RUDID32.dll for a failure; the exception's
 * first parameter is the failure code. Not continuable. */
#define RUDID_EXCEPTION_CODE 0xE0520000u

/* The version of this header, the library's "major.minor.patch" (compare
 * RudidVersion() for the library a program runs with). */
#define RUDID32_VERSION_MAJOR 1
#define RUDID32_VERSION_MINOR 2
#define RUDID32_VERSION_PATCH 0
#define RUDID32_VERSION_NUMBER \
  (RUDID32_VERSION_MAJOR * 10000 + RUDID32_VERSION_MINOR * 100 + RUDID32_VERSION_PATCH)

/* The property functions
 *
 * One row per function, in ordinal order (the Windows DLL exports each by
 * name and by this ordinal: the first 23 on 1..23, any later one from 201
 * up, as the library's other exports hold 24..199):
 *
 *   X(name, ordinal, arity, argument 1, argument 2, result,
 *     lookup, output, refusal, description)
 *
 *   arity        1 or 2; a one-argument function has RUDID_NO_QUANTITY as
 *                its argument 2
 *   argument 1/2, result
 *                quantity codes (below); RUDID_QUALITY for a vapour fraction
 *   lookup       the table lookup that answers the function:
 *                SaturationByPressure, SaturationByTemperature (the
 *                saturation line), PressureTemperature (single phase),
 *                PressureEnthalpy, PressureEntropy, PressureVolume (the
 *                inverse lookups)
 *   output       which of the lookup's outputs the function returns, from 0:
 *                saturation: level, vf, vg, hf, hg, sf, sg (with a quality,
 *                the liquid one, mixed with the next by the quality);
 *                single phase: v, h, s; inverse: T, the other two of v, h
 *                and s in that order, quality
 *   refusal      the error code when the lookup refuses a state that passed
 *                the range tests; 0 when it refuses none
 *   description  one line, as RudidFunctionDescription() gives it
 *
 * Expand the list with a macro X of these ten parameters, for example to
 * make a table of names and ordinals:
 *
 *   #define ROW(name, ordinal, ...) { #name, ordinal },
 *   RUDID_PROPERTY_FUNCTIONS(ROW)
 */
#define RUDID_PROPERTY_FUNCTIONS(X) \
  /* The saturation line */ \
  X(AQPPT,   1, 1, RUDID_PRESSURE,    RUDID_NO_QUANTITY,       RUDID_TEMPERATURE,       SaturationByPressure,    0, 0, "saturation temperature at a pressure") \
  X(AQPTP,   2, 1, RUDID_TEMPERATURE, RUDID_NO_QUANTITY,       RUDID_PRESSURE,          SaturationByTemperature, 0, 0, "saturation pressure at a temperature") \
  X(AQPTQH,  3, 2, RUDID_TEMPERATURE, RUDID_QUALITY,           RUDID_SPECIFIC_ENTHALPY, SaturationByTemperature, 3, 0, "enthalpy of the saturated mixture") \
  X(AQPTQS,  4, 2, RUDID_TEMPERATURE, RUDID_QUALITY,           RUDID_SPECIFIC_ENTROPY,  SaturationByTemperature, 5, 0, "entropy of the saturated mixture") \
  X(AQPTQV,  5, 2, RUDID_TEMPERATURE, RUDID_QUALITY,           RUDID_SPECIFIC_VOLUME,   SaturationByTemperature, 1, 0, "specific volume of the saturated mixture") \
  X(AQPPQH,  6, 2, RUDID_PRESSURE,    RUDID_QUALITY,           RUDID_SPECIFIC_ENTHALPY, SaturationByPressure,    3, 0, "enthalpy of the saturated mixture") \
  X(AQPPQS,  7, 2, RUDID_PRESSURE,    RUDID_QUALITY,           RUDID_SPECIFIC_ENTROPY,  SaturationByPressure,    5, 0, "entropy of the saturated mixture") \
  X(AQPPQV,  8, 2, RUDID_PRESSURE,    RUDID_QUALITY,           RUDID_SPECIFIC_VOLUME,   SaturationByPressure,    1, 0, "specific volume of the saturated mixture") \
  /* Compressed liquid, superheated and supercritical steam */ \
  X(AQPPTH,  9, 2, RUDID_PRESSURE,    RUDID_TEMPERATURE,       RUDID_SPECIFIC_ENTHALPY, PressureTemperature,     1, RUDID_ON_SATURATION_LINE, "enthalpy at pressure and temperature") \
  X(AQPPTS, 10, 2, RUDID_PRESSURE,    RUDID_TEMPERATURE,       RUDID_SPECIFIC_ENTROPY,  PressureTemperature,     2, RUDID_ON_SATURATION_LINE, "entropy at pressure and temperature") \
  X(AQPPTV, 11, 2, RUDID_PRESSURE,    RUDID_TEMPERATURE,       RUDID_SPECIFIC_VOLUME,   PressureTemperature,     0, RUDID_ON_SATURATION_LINE, "specific volume at pressure and temperature") \
  /* From pressure and enthalpy, entropy or specific volume; the quality is \
     0 or 1 outside the two-phase region */ \
  X(AQPPHT, 12, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTHALPY, RUDID_TEMPERATURE,       PressureEnthalpy,        0, RUDID_ENTHALPY_OUTSIDE_TABLE, "temperature at pressure and enthalpy") \
  X(AQPPHS, 13, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTHALPY, RUDID_SPECIFIC_ENTROPY,  PressureEnthalpy,        2, RUDID_ENTHALPY_OUTSIDE_TABLE, "entropy at pressure and enthalpy") \
  X(AQPPHV, 14, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTHALPY, RUDID_SPECIFIC_VOLUME,   PressureEnthalpy,        1, RUDID_ENTHALPY_OUTSIDE_TABLE, "specific volume at pressure and enthalpy") \
  X(AQPPHQ, 15, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTHALPY, RUDID_QUALITY,           PressureEnthalpy,        3, RUDID_ENTHALPY_OUTSIDE_TABLE, "quality at pressure and enthalpy") \
  X(AQPPST, 16, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTROPY,  RUDID_TEMPERATURE,       PressureEntropy,         0, RUDID_ENTROPY_OUTSIDE_TABLE,  "temperature at pressure and entropy") \
  X(AQPPSH, 17, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTROPY,  RUDID_SPECIFIC_ENTHALPY, PressureEntropy,         2, RUDID_ENTROPY_OUTSIDE_TABLE,  "enthalpy at pressure and entropy") \
  X(AQPPSV, 18, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTROPY,  RUDID_SPECIFIC_VOLUME,   PressureEntropy,         1, RUDID_ENTROPY_OUTSIDE_TABLE,  "specific volume at pressure and entropy") \
  X(AQPPSQ, 19, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_ENTROPY,  RUDID_QUALITY,           PressureEntropy,         3, RUDID_ENTROPY_OUTSIDE_TABLE,  "quality at pressure and entropy") \
  X(AQPPVT, 20, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_VOLUME,   RUDID_TEMPERATURE,       PressureVolume,          0, RUDID_VOLUME_OUTSIDE_TABLE,   "temperature at pressure and specific volume") \
  X(AQPPVH, 21, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_VOLUME,   RUDID_SPECIFIC_ENTHALPY, PressureVolume,          1, RUDID_VOLUME_OUTSIDE_TABLE,   "enthalpy at pressure and specific volume") \
  X(AQPPVS, 22, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_VOLUME,   RUDID_SPECIFIC_ENTROPY,  PressureVolume,          2, RUDID_VOLUME_OUTSIDE_TABLE,   "entropy at pressure and specific volume") \
  X(AQPPVQ, 23, 2, RUDID_PRESSURE,    RUDID_SPECIFIC_VOLUME,   RUDID_QUALITY,           PressureVolume,          3, RUDID_VOLUME_OUTSIDE_TABLE,   "quality at pressure and specific volume")

/* The prototypes, with each parameter named by its quantity:
 * double *AQPPT(double pressure), double *AQPTQH(double temperature,
 * double quality), ... */
#define RUDID_PARAMETER_RUDID_PRESSURE          pressure
#define RUDID_PARAMETER_RUDID_TEMPERATURE       temperature
#define RUDID_PARAMETER_RUDID_SPECIFIC_ENTHALPY specific_enthalpy
#define RUDID_PARAMETER_RUDID_SPECIFIC_ENTROPY  specific_entropy
#define RUDID_PARAMETER_RUDID_SPECIFIC_VOLUME   specific_volume
#define RUDID_PARAMETER_RUDID_QUALITY           quality
#define RUDID_PROPERTY_PROTOTYPE_1(name, first, second) RUDID_API double *RUDID_CALL name(double first);
#define RUDID_PROPERTY_PROTOTYPE_2(name, first, second) \
  RUDID_API double *RUDID_CALL name(double first, double second);
#define RUDID_PROPERTY_PROTOTYPE(name, ordinal, arity, first, second, ...) \
  RUDID_PROPERTY_PROTOTYPE_##arity(name, RUDID_PARAMETER_##first, RUDID_PARAMETER_##second)
RUDID_PROPERTY_FUNCTIONS(RUDID_PROPERTY_PROTOTYPE)

/* Batch evaluation
 *
 * Evaluates the property function called `name` ("AQPPTH", ...) for n rows:
 * row i takes arg1[i] and, for two-argument functions, arg2[i] (arg2 is
 * ignored, and may be NULL, for AQPPT and AQPTP). result[i] receives exactly
 * the double that the single call would have returned: the property or a
 * negative error code. A row that the single call would have failed gets a
 * NaN in result[i] and the failure code (2, 5, 100, 205, ...) in failure[i];
 * failure[i] is 0 for every other row. One failing row never stops the
 * others; rows are evaluated in order.
 *
 * Returns the number of failed rows, or a negative value when nothing was
 * evaluated: RUDID_UNKNOWN_FUNCTION for a name that is not one of the 23,
 * RUDID_BAD_ARGUMENTS for a NULL array that the call needs (n > 0),
 * RUDID_OUT_OF_MEMORY when the table cache could not be allocated.
 *
 * Each table file is opened at most once per call and each part of it read
 * at most once; all files are closed before the call returns. It never
 * raises and does not change RudidLastError(). */
#define RUDID_UNKNOWN_FUNCTION (-1)
#define RUDID_BAD_ARGUMENTS (-2)
#define RUDID_OUT_OF_MEMORY (-3)
RUDID_API int RUDID_CALL RudidEvaluate(const char *name, size_t n, const double *arg1,
                                       const double *arg2, double *result, int *failure);

/* Named codes
 *
 * Error codes: the double a property function answers with when the state
 * lies outside the tables. */
#define RUDID_PRESSURE_OUT_OF_RANGE      (-1001) /* below 0.01 bar (or above 1000 bar) */
#define RUDID_TEMPERATURE_OUT_OF_RANGE   (-1002) /* below 0 C (or above 800 C) */
#define RUDID_QUALITY_OUT_OF_RANGE       (-1003) /* below 0 or above 1 */
#define RUDID_PRESSURE_ABOVE_CRITICAL    (-1004) /* saturation: above 221.2 bar */
#define RUDID_TEMPERATURE_ABOVE_CRITICAL (-1005) /* saturation: above 374.15 C */
#define RUDID_ENTROPY_OUTSIDE_TABLE      (-1012)
#define RUDID_VOLUME_OUTSIDE_TABLE       (-1013)
#define RUDID_ENTHALPY_OUTSIDE_TABLE     (-1014)
#define RUDID_ON_SATURATION_LINE         (-1015)

/* Failure codes: RudidLastError(), the Windows exception's parameter and
 * RudidEvaluate's failure[i]. */
#define RUDID_FILE_NOT_FOUND                   2
#define RUDID_INVALID_FILENAME                 3
#define RUDID_TOO_MANY_OPEN_FILES              4
#define RUDID_FILE_ACCESS_DENIED               5
#define RUDID_READ_BEYOND_END_OF_FILE          100
#define RUDID_DISK_FULL                        101
#define RUDID_INVALID_NUMERIC_INPUT            106
#define RUDID_DIVISION_BY_ZERO                 200
#define RUDID_FLOATING_POINT_OVERFLOW          205
#define RUDID_INVALID_FLOATING_POINT_OPERATION 207
#define RUDID_DEVICE_IO_ERROR                  1117 /* the device failed to read */

/* Quantity codes of the values the functions take and return. A quality is
 * a plain fraction: it has no quantity and is never converted. */
#define RUDID_QUALITY            (-1)
#define RUDID_PRESSURE           3
#define RUDID_SPECIFIC_ENTHALPY  5
#define RUDID_TEMPERATURE        6
#define RUDID_SPECIFIC_ENTROPY   10
#define RUDID_SPECIFIC_VOLUME    12
/* The quantities of the derived properties (RudidSolveProperties). */
#define RUDID_DENSITY              2
#define RUDID_VELOCITY             7
#define RUDID_VISCOSITY            20
#define RUDID_THERMAL_CONDUCTIVITY 23
#define RUDID_DIMENSIONLESS        25
#define RUDID_QUANTITY_COUNT     26 /* codes 0 to 25; 11 and 15 to 18 are reserved */

/* What the library is
 *
 * The library describes itself, so that tools and bindings need no copy of
 * its lists: the property functions, the quantities and their units, the
 * meaning of every code. Strings are constant and live as long as the
 * library, except where said otherwise. None of these functions fails or
 * raises; an index or code outside its range gives the answer stated.
 *
 * Every function of this header leaves the caller's floating-point
 * environment as it found it: the x87 control word, the SSE control
 * register and the exception flags of both (the library computes under its
 * own environment and drops the flags its arithmetic raises), whether the
 * caller masks exceptions or not. */

/* The library's version, "major.minor.patch". */
RUDID_API const char *RUDID_CALL RudidVersion(void);

/* The number of property functions (23); they are numbered from 0 in the
 * order of their ordinals. */
RUDID_API int RUDID_CALL RudidFunctionCount(void);

/* The index of the property function of that name, without regard to case;
 * -1 for an unknown name or NULL. */
RUDID_API int RUDID_CALL RudidFunctionIndex(const char *name);

/* Name ("AQPPTH"), number of arguments (1 or 2) and a one-line description
 * ("enthalpy at pressure and temperature") of a function; NULL,
 * 0 and NULL for an index outside 0 .. count - 1. */
RUDID_API const char *RUDID_CALL RudidFunctionName(int function);
RUDID_API int RUDID_CALL RudidFunctionArity(int function);
RUDID_API const char *RUDID_CALL RudidFunctionDescription(int function);

/* The quantity code of argument 1 or 2 of a function, or of its result:
 * RUDID_PRESSURE, ..., or RUDID_QUALITY; RUDID_NO_QUANTITY for an argument
 * the function does not take or an index outside the range. */
#define RUDID_NO_QUANTITY (-2)
RUDID_API int RUDID_CALL RudidFunctionArgument(int function, int position);
RUDID_API int RUDID_CALL RudidFunctionResult(int function);

/* The name of a quantity ("pressure", "specific enthalpy", ...), "quality"
 * for RUDID_QUALITY, "" for a reserved code, NULL outside -1 .. 25. */
RUDID_API const char *RUDID_CALL RudidQuantityName(int quantity);

/* The unit of the library's arithmetic for a quantity ("bar", "C",
 * "kJ/kg", ...); "" when the quantity has none (quality, dimensionless,
 * reserved codes); NULL outside -1 .. 25. */
RUDID_API const char *RUDID_CALL RudidInternalUnit(int quantity);

/* The unit names a quantity may select, in selection order: default.cfg
 * selects name number k with the value k in word RudidUnitSelectionWord().
 * RudidUnitCount gives 0 for a quantity without a list (and per-degree
 * quantities share the temperature list and word); RudidUnitName gives NULL
 * outside 0 .. count - 1. */
RUDID_API int RUDID_CALL RudidUnitCount(int quantity);
RUDID_API const char *RUDID_CALL RudidUnitName(int quantity, int selection);
RUDID_API int RUDID_CALL RudidUnitSelectionWord(int quantity); /* -1 for none */

/* The unit configured for a quantity in this process, as the property
 * functions use it; "" for a quality or a quantity without units. */
RUDID_API const char *RUDID_CALL RudidConfiguredUnit(int quantity);

/* A value converted between the internal unit of a quantity and the unit
 * configured for it, with the library's own factors (in double precision:
 * for placing values, not a substitute for the property functions' exact
 * arithmetic). A quality is returned as it is (a NaN as a quiet NaN); NaN
 * for a quantity without a conversion, and for a NaN, an infinity or any
 * value whose magnitude, before or after the conversion, is 2^127 (about
 * 1.7e38, the limit of the library's six-byte reals) or more. */
RUDID_API double RUDID_CALL RudidToConfiguredUnit(int quantity, double internalValue);
RUDID_API double RUDID_CALL RudidFromConfiguredUnit(int quantity, double configuredValue);

/* The error code that a result is (RUDID_PRESSURE_OUT_OF_RANGE, ...), or 0
 * when the result is a property. */
RUDID_API int RUDID_CALL RudidRangeCode(double result);

/* What an error code refuses, in words and in the configured units, as it
 * applies to the given function ("pressure above 221.2 bar, the critical
 * pressure"); function -1 gives the meaning for any function. The codes of
 * a state's property that has no value (RUDID_NO_STATE, RUDID_NO_QUALITY,
 * RUDID_TWO_PHASE, RUDID_NOT_SATURATED, RUDID_NO_FORMULATION_STATE) are
 * worded too ("wet steam: a property of a single phase"). NULL when the
 * code is none of these. The text stays valid until the next call of
 * this function on the same thread. */
RUDID_API const char *RUDID_CALL RudidRangeMessage(int function, int code);

/* The message of a failure code ("File not found", ..., "I/O error <code>"
 * for a code without a text of its own). The text stays valid until the
 * next call of this function on the same thread. */
RUDID_API const char *RUDID_CALL RudidFailureMessage(int code);

/* Where the answer is poor
 *
 * The tables are interpolated, and some states lie where interpolation is
 * poor. RudidStateFlags tells, for the answer that the named property
 * function gives for these arguments (in the configured units), which of
 * these reasons apply; 0 when none does, and for a state the function
 * refuses or fails on. RUDID_UNKNOWN_FUNCTION for a name that is not one of
 * the property functions. It never raises and does not change
 * RudidLastError(). */
#define RUDID_FLAG_MIXED_PHASE_CELL 0x1 /* the cell's corners are of different phases */
#define RUDID_FLAG_NEAR_SATURATION  0x2 /* next to the saturation line */
#define RUDID_FLAG_CRITICAL_REGION  0x4 /* in the cell around the critical point */
#define RUDID_FLAG_COARSE_GRID      0x8 /* the grid is coarse for this property */
RUDID_API int RUDID_CALL RudidStateFlags(const char *name, double arg1, double arg2);

/* RudidEvaluate with the state flags of every row: result[i] and failure[i]
 * exactly as RudidEvaluate gives them, and flags[i] exactly what
 * RudidStateFlags gives for row i (0 for a row that is refused or fails).
 * Returns what RudidEvaluate returns, and RUDID_BAD_ARGUMENTS also for a
 * NULL flags array (n > 0). The flags come from the same pass through the
 * tables as the result: each table file is opened at most once per call.
 * It never raises and does not change RudidLastError(). */
RUDID_API int RUDID_CALL RudidEvaluateWithFlags(const char *name, size_t n, const double *arg1,
                                                const double *arg2, double *result, int *failure, int *flags);

/* Refined answers
 *
 * The same property functions answered from the same three tables,
 * interpolated the way the properties bend: cubics in temperature through
 * the table points of the state's own phase and the saturated state at its
 * pressure, steam's volume and entropy carried across isobars as p v and
 * s + R ln p, the saturation line as ln p against 1/T. No formulation is
 * evaluated. Closer to IAPWS-IF97 than the table answers wherever those are
 * far off (next to the saturation line, steam at low pressure); see
 * docs/accuracy.md for the measured errors. The inverse functions solve the
 * refined forward interpolation, so that a refined h from (p, T) gives T
 * back from (p, h).
 *
 * RudidEvaluateRefined has the contract of RudidEvaluate: the same names,
 * units, error codes (a state within 0.001 C of the refined saturation
 * temperature is RUDID_ON_SATURATION_LINE; a key outside the 0..800 C range
 * of its phase at that pressure is the ..._OUTSIDE_TABLE code), failures
 * and return value; n = 1 answers one state. The table answers of the 23
 * functions and RudidEvaluate are unchanged by it.
 *
 * RudidRefinedFlags tells, like RudidStateFlags, which reasons still apply
 * to the refined answer of a function at these arguments:
 * RUDID_FLAG_CRITICAL_REGION (around the critical point and on the
 * supercritical ridge above it, 200..300 bar and 360..420 C, and the
 * saturation line above 200 bar or 365 C) and RUDID_FLAG_ILL_POSED
 * (a state near 0 C shares the volume given: a liquid or wet answer of the
 * functions of volume from a volume at most 1 + margin times the refined
 * 0 C volume at that pressure, the margin measured against IAPWS-IF97 where
 * answers are off by more than 1 %: 2e-3 up to 0.03 bar, 1e-7 up to
 * 30 bar, 1.5e-4 up to 221.2 bar, 0 above; see docs/accuracy.md). A
 * refined inverse answer that RudidRefinedFlags does not flag gives back
 * the state whose refined forward answer was entered. */
#define RUDID_FLAG_ILL_POSED 0x10 /* two states share the value given (water by a volume near its 0 C one) */
RUDID_API int RUDID_CALL RudidEvaluateRefined(const char *name, size_t n, const double *arg1,
                                              const double *arg2, double *result, int *failure);
RUDID_API int RUDID_CALL RudidRefinedFlags(const char *name, double arg1, double arg2);

/* The word of one flag as the command-line tool and Python write it:
 * "mixed-phase-cell", "near-saturation", "critical-region", "coarse-grid"
 * or "ill-posed"; NULL for anything but one of the RUDID_FLAG_ bits. */
RUDID_API const char *RUDID_CALL RudidFlagName(int flag);

/* Contexts
 *
 * A context is a configuration that a program opens for itself: its data
 * directory, the unit of each quantity, whether the tables are kept in
 * memory, and which answer its evaluations give unless told otherwise.
 * Programs that want other units than the installation's default.cfg, or
 * two sets of units at once, open a context each instead of changing the
 * installation. Contexts are independent of each other and of the
 * process's configuration, never change once open, and may be used from
 * any number of threads at once. The 23 property functions and the entry
 * points above keep the process's configuration from ZAREVIRU.INI; passing
 * a NULL context below means that configuration too.
 *
 * RudidOpen(directory, units, options):
 *   directory  the data directory of the three tables and default.cfg;
 *              NULL or "" for the process's (RudidDataDirectory());
 *   units      NULL or "" for the units its default.cfg selects, or choices
 *              over them: "pressure=psi, temperature=F, enthalpy=Btu/lbm",
 *              a quantity as RudidQuantityName names it (any case, spaces,
 *              '_' or '-' between words or none, "specific" left out, or
 *              its code), a unit as RudidUnitName names it (any case);
 *   options    RUDID_KEEP_TABLES or RUDID_READ_FILES (neither: as the INI's
 *              CACHE says), and RUDID_REFINED or RUDID_TABLE (neither: table
 *              answers).
 * Returns the context, or NULL when a setting is wrong: an unknown
 * quantity or unit, a directory or table that cannot be read whole, an
 * option that asks for both of a pair. RudidContextMessage(NULL) then says
 * which, naming the setting or file, on the calling thread. A context is
 * never opened half. RudidClose releases one (NULL is ignored); no call may
 * be using it then. */
typedef struct RudidContext RudidContext;
#define RUDID_KEEP_TABLES 0x1 /* tables kept in memory, checked against the files once a second */
#define RUDID_READ_FILES  0x2 /* the files read on every call */
#define RUDID_REFINED     0x4 /* refined answers (RudidEvaluateRefined's) */
#define RUDID_TABLE       0x8 /* table answers (RudidEvaluate's) */
RUDID_API RudidContext *RUDID_CALL RudidOpen(const char *directory, const char *units, int options);
RUDID_API void RUDID_CALL RudidClose(RudidContext *context);

/* One property function over n rows in a context: as RudidEvaluate, in the
 * context's units and from its tables. options: 0 for the context's kind of
 * answer, RUDID_TABLE or RUDID_REFINED for that one (both, or any other
 * bit: RUDID_BAD_ARGUMENTS). flags NULL for none; else flags[i] as
 * RudidEvaluateWithFlags (table answers) or RudidRefinedFlags (refined
 * answers) give them. Returns the count of failed rows, or
 * RUDID_UNKNOWN_FUNCTION, RUDID_BAD_ARGUMENTS, RUDID_OUT_OF_MEMORY. n = 1
 * answers one state. It never raises and does not change RudidLastError(). */
RUDID_API int RUDID_CALL RudidContextEvaluate(RudidContext *context, const char *name, int options, size_t n,
                                              const double *arg1, const double *arg2, double *result,
                                              int *failure, int *flags);

/* What went wrong in the last RudidContextEvaluate of this context on the
 * calling thread ("" when nothing did): how many rows failed and the first
 * one's failure. NULL: why this thread's last RudidOpen failed (or the last
 * evaluation without a context). Valid until the thread's next call with
 * the same context. */
RUDID_API const char *RUDID_CALL RudidContextMessage(const RudidContext *context);

/* The unit a context uses for a quantity code ("" for none); its data
 * directory, ending in the path separator; a value converted between the
 * internal unit and the context's (intoContextUnit != 0: internal to the
 * context's), as RudidToConfiguredUnit converts. */
RUDID_API const char *RUDID_CALL RudidContextUnit(const RudidContext *context, int quantity);
/* RudidRangeMessage with the limits in the context's units. */
RUDID_API const char *RUDID_CALL RudidContextRangeMessage(const RudidContext *context, int function, int code);
RUDID_API const char *RUDID_CALL RudidContextDirectory(const RudidContext *context);
RUDID_API double RUDID_CALL RudidContextConvert(const RudidContext *context, int quantity, double value,
                                               int intoContextUnit);

/* The whole state from any pair
 *
 * RudidSolveStates gives, for n rows of two given properties, every
 * property of the state, its phase and the flags of each property, in the
 * context's units (NULL context: the process's configuration):
 *   given    two letters naming the quantities of first and second, in
 *            order: "pT", "Th", "hs", "px", "Tx", ... any two different of
 *            p (pressure), T (temperature), h (specific enthalpy), s
 *            (specific entropy), v (specific volume), x (quality); and
 *            "pu" (u: specific internal energy, in the unit of specific
 *            enthalpy, with the pressure only) and d (density) with any of
 *            p, T, h, s, x (solved as the volume 1/d);
 *   options  0 for the context's kind of answer, RUDID_TABLE or
 *            RUDID_REFINED;
 *   states   n * RUDID_STATE_PROPERTIES doubles: row i's p, T, h, s, v, x
 *            at states[RUDID_STATE_PROPERTIES * i + RUDID_STATE_P ...]; the
 *            given two as given; NaN where the row has no such value;
 *   codes    n * RUDID_STATE_PROPERTIES ints beside states: 0 for a value;
 *            RUDID_NO_QUALITY for the quality of a single phase (or above
 *            the critical pressure, or on the saturation line by p and T);
 *            a negative error code where that property lies outside the
 *            tables; RUDID_NO_STATE (every property) where no state in the
 *            tables has the given pair; a failure code where the library
 *            failed;
 *   phase    n ints, RUDID_PHASE_...; NULL for none;
 *   flags    n * RUDID_STATE_PROPERTIES ints, the flags of each property's
 *            answer (RudidEvaluateWithFlags' or RudidRefinedFlags'); NULL
 *            for none.
 * Every state returned gives back its given pair: each of the two,
 * evaluated from the state, lies within 1e-4 of the given value (a
 * temperature on the absolute scale; an enthalpy measured against at least
 * 1 kJ/kg, an entropy against at least 0.01 kJ/(kg K); a quality absolute),
 * else the row is RUDID_NO_STATE. Where two states have the pair (T and h
 * of a compressed liquid also fit wet steam; cold water by volume) the
 * one returned is the first found from low to high pressure, and its flags
 * say so where the tables know (RUDID_FLAG_ILL_POSED).
 * Returns how many rows have no state (or a property that failed), or
 * RUDID_UNKNOWN_FUNCTION for a given pair it cannot solve,
 * RUDID_BAD_ARGUMENTS for a NULL array the call needs (n > 0) or wrong
 * options, RUDID_OUT_OF_MEMORY. It never raises. */
#define RUDID_STATE_PROPERTIES 6
#define RUDID_STATE_P 0
#define RUDID_STATE_T 1
#define RUDID_STATE_H 2
#define RUDID_STATE_S 3
#define RUDID_STATE_V 4
#define RUDID_STATE_X 5
#define RUDID_NO_STATE (-1020)   /* no state in the tables has the given pair */
#define RUDID_NO_QUALITY (-1021) /* a single phase: no quality */
#define RUDID_PHASE_UNKNOWN 0
#define RUDID_PHASE_COMPRESSED_LIQUID 1
#define RUDID_PHASE_WET_STEAM 2
#define RUDID_PHASE_SATURATED_LIQUID 3
#define RUDID_PHASE_SATURATED_VAPOUR 4
#define RUDID_PHASE_SUPERHEATED_VAPOUR 5
#define RUDID_PHASE_SUPERCRITICAL_FLUID 6
#define RUDID_PHASE_SATURATION_LINE 7 /* p and T on the line: liquid or vapour, give a quality to tell */
RUDID_API int RUDID_CALL RudidSolveStates(RudidContext *context, const char *given, int options, size_t n,
                                          const double *first, const double *second, double *states, int *codes,
                                          int *phase, int *flags);

/* The name of a phase ("compressed liquid", "wet steam", ...); "" for
 * RUDID_PHASE_UNKNOWN and any other number. */
RUDID_API const char *RUDID_CALL RudidPhaseName(int phase);

/* Properties beyond the tables'
 *
 * RudidSolveProperties gives, for n rows of a given pair (as
 * RudidSolveStates takes it), the properties of the state that the tables
 * do not hold, each in the context's unit of its quantity:
 *   RUDID_PROPERTY_DENSITY            density (1/v)
 *   RUDID_PROPERTY_INTERNAL_ENERGY    specific internal energy, h - p v, in
 *                                     the unit of specific enthalpy
 *   RUDID_PROPERTY_CP, RUDID_PROPERTY_CV
 *                                     isobaric and isochoric heat capacity,
 *                                     in the unit of specific entropy
 *   RUDID_PROPERTY_SPEED_OF_SOUND     in the unit of velocity
 *   RUDID_PROPERTY_VISCOSITY          dynamic viscosity
 *   RUDID_PROPERTY_THERMAL_CONDUCTIVITY
 *   RUDID_PROPERTY_PRANDTL            mu cp / lambda, dimensionless
 *   RUDID_PROPERTY_SURFACE_TENSION    at the saturation temperature, always
 *                                     in N/m (no quantity of the catalogue
 *                                     has its dimension)
 * Density and internal energy come from the state's v and h; the heat
 * capacities and the speed of sound from the IAPWS-IF97 basic equation of
 * the state's region at its pressure and temperature; viscosity and
 * thermal conductivity from the IAPWS 2008 and 2011 industrial
 * correlations at the state's temperature and that density; surface
 * tension from IAPWS 2014 (docs/accuracy.md gives the measured errors).
 *   properties  n * RUDID_DERIVED_PROPERTIES doubles: row i's property k at
 *               properties[RUDID_DERIVED_PROPERTIES * i + k]; NaN where the
 *               row has none;
 *   codes       beside properties: 0 for a value; RUDID_TWO_PHASE for cp,
 *               cv, w, viscosity, conductivity and Prandtl number of wet
 *               steam (and of p and T on the saturation line), which has
 *               none (the saturated liquid and vapour have them);
 *               RUDID_NOT_SATURATED for the surface tension of a single
 *               phase; RUDID_NO_FORMULATION_STATE where the formulation has
 *               no stable state at the table's (p, T) (at the critical
 *               point) or the state's phase could not be told; else the
 *               code of the state's answer that kept it from being found
 *               (a negative error code, RUDID_NO_STATE, a failure code):
 *               of p, T or v, or of h for internal energy;
 *   flags       beside properties, the flags of the state's answers the
 *               property comes from (v for density, v and h for internal
 *               energy, T and v for the others):
 *               RUDID_FLAG_CRITICAL_REGION
 *               marks the states near the critical point where the
 *               properties are poor; NULL for none.
 * options as RudidSolveStates takes them. Returns what RudidSolveStates
 * returns: how many rows have no state (or a property that failed), or the
 * code of a wrong call.
 *
 * RudidContextProperty evaluates one of these by name, for n rows: the
 * name ("density", "cp", "speed of sound", ...) or the symbol ("rho", "u",
 * "cp", "cv", "w", "mu", "lambda", "Pr", "sigma") of RudidPropertyName and
 * RudidPropertySymbol, any case; result, failure (0 or the code, as in
 * RudidSolveProperties' codes: unlike RudidContextEvaluate, an error code
 * is in failure and the result is then NaN) and flags (NULL for none) as
 * RudidSolveProperties gives them for that property. Returns the count of
 * rows whose failure is not 0, or RUDID_UNKNOWN_FUNCTION for an unknown
 * name or pair, RUDID_BAD_ARGUMENTS, RUDID_OUT_OF_MEMORY.
 *
 * RudidPropertyName, RudidPropertySymbol: NULL outside 0 ..
 * RUDID_DERIVED_PROPERTIES - 1. RudidPropertyQuantity: the quantity code
 * of its unit (RUDID_DIMENSIONLESS for the Prandtl number,
 * RUDID_NO_QUANTITY for the surface tension and outside the range).
 * RudidPropertyIndex: the property of a name or symbol, -1 for none. */
#define RUDID_DERIVED_PROPERTIES 9
#define RUDID_PROPERTY_DENSITY 0
#define RUDID_PROPERTY_INTERNAL_ENERGY 1
#define RUDID_PROPERTY_CP 2
#define RUDID_PROPERTY_CV 3
#define RUDID_PROPERTY_SPEED_OF_SOUND 4
#define RUDID_PROPERTY_VISCOSITY 5
#define RUDID_PROPERTY_THERMAL_CONDUCTIVITY 6
#define RUDID_PROPERTY_PRANDTL 7
#define RUDID_PROPERTY_SURFACE_TENSION 8
#define RUDID_TWO_PHASE (-1022)           /* wet steam: a property of a single phase */
#define RUDID_NOT_SATURATED (-1023)       /* a single phase: no surface tension */
#define RUDID_NO_FORMULATION_STATE (-1024) /* the formulation has no stable state there */
RUDID_API int RUDID_CALL RudidSolveProperties(RudidContext *context, const char *given, int options, size_t n,
                                              const double *first, const double *second, double *properties,
                                              int *codes, int *flags);
RUDID_API int RUDID_CALL RudidContextProperty(RudidContext *context, const char *property, const char *given,
                                              int options, size_t n, const double *first, const double *second,
                                              double *result, int *failure, int *flags);
/* RudidDeriveStates gives the same properties for n states that
 * RudidSolveStates has already solved in the same context, without solving
 * them again: states, codes, phase and flags (NULL: none, and then the
 * properties carry none) exactly as RudidSolveStates filled them, the
 * other arguments as RudidSolveProperties takes them. Each row's
 * properties, codes and flags are those RudidSolveProperties gives for the
 * pair the states were solved from, bit for bit. Returns what
 * RudidSolveProperties returns. */
RUDID_API int RUDID_CALL RudidDeriveStates(RudidContext *context, size_t n, const double *states, const int *codes,
                                           const int *phase, const int *flags, double *properties,
                                           int *propertyCodes, int *propertyFlags);
RUDID_API const char *RUDID_CALL RudidPropertyName(int property);
RUDID_API const char *RUDID_CALL RudidPropertySymbol(int property);
RUDID_API int RUDID_CALL RudidPropertyQuantity(int property);
RUDID_API int RUDID_CALL RudidPropertyIndex(const char *name);

/* Calls for Visual Basic for Applications
 *
 * A VBA Declare statement (Excel macros and worksheet functions, 32- and
 * 64-bit Office) calls __stdcall functions and cannot read a double through
 * a pointer, so every property function has a twin RudidVb<name>: the same
 * arguments by value, the answer returned as a double, and the outcome
 * through `code` (a VBA ByRef Long):
 *
 *   code 0        the property, exactly the double the function answers;
 *   code -1001..  the state is outside the tables (RUDID_PRESSURE_OUT_OF_RANGE
 *                 ...); the double is that code, as the function answers;
 *   code 2, 205.. a failure (the failure codes above): the double is a
 *                 quiet NaN.
 *
 * They never raise: a failure that the property function raises on Windows
 * is caught and becomes the code. `code` may be NULL. On 32-bit Windows
 * they are __stdcall and exported without decoration, on ordinal 100 + the
 * property function's ordinal (1..23, and 201 up for any later function);
 * elsewhere the platform's one convention.
 *
 *   Declare PtrSafe Function RudidVbAQPPTH Lib "RUDID32.dll" _
 *       (ByVal pressure As Double, ByVal temperature As Double, _
 *        ByRef code As Long) As Double
 */
#if defined(_WIN32)
#define RUDID_VB_CALL __stdcall
#else
#define RUDID_VB_CALL
#endif
#define RUDID_VB_PROTOTYPE_1(name) RUDID_API double RUDID_VB_CALL RudidVb##name(double arg1, int *code);
#define RUDID_VB_PROTOTYPE_2(name) \
  RUDID_API double RUDID_VB_CALL RudidVb##name(double arg1, double arg2, int *code);
#define RUDID_VB_PROTOTYPE(name, ordinal, arity, ...) RUDID_VB_PROTOTYPE_##arity(name)
RUDID_PROPERTY_FUNCTIONS(RUDID_VB_PROTOTYPE)

/* The message of a code that a RudidVb function gave, for the property
 * function named `function` ("AQPPTH"; NULL or an unknown name gives the
 * general meaning of an error code): "" for 0, the range message of an
 * error code, the failure message of a failure code, followed by ": " and
 * the table file when it is this thread's last failure and concerned a file.
 * Copies at most size - 1 characters and a terminating zero into buffer
 * (nothing when buffer is NULL or size < 1) and returns the length of the
 * whole message, so that a caller can retry with a larger buffer. Ordinal
 * 100 on Windows. In VBA:
 *
 *   Declare PtrSafe Function RudidVbMessage Lib "RUDID32.dll" _
 *       (ByVal func As String, ByVal code As Long, ByVal buffer As String, _
 *        ByVal size As Long) As Long
 */
RUDID_API int RUDID_VB_CALL RudidVbMessage(const char *function, int code, char *buffer, int size);

/* Contexts for Visual Basic for Applications: the context calls in the
 * shape a Declare statement can call, __stdcall on 32-bit Windows and
 * exported without decoration on ordinals 130 to 136. They never raise.
 *
 * RudidVbOpen and RudidVbClose are RudidOpen and RudidClose; VBA keeps the
 * context as a LongPtr (0 when the open failed: RudidVbContextMessage with
 * context 0 and code 0 says why).
 *
 * RudidVbContextEvaluate is RudidContextEvaluate of one state (arg2 is
 * ignored by AQPPT and AQPTP), with the outcome in `code` (may be NULL) as
 * the twins of the property functions give it: 0 and the property, an
 * error code and that code as the double, a failure code and a quiet NaN;
 * and for a call that is wrong, a quiet NaN with RUDID_UNKNOWN_FUNCTION
 * (no property function of that name) or RUDID_BAD_ARGUMENTS (options).
 * The double has the bits that RudidContextEvaluate gives for the same
 * context, options and state. Context 0 is the process's configuration.
 *
 * RudidVbContextFlags gives the flags of that answer, as
 * RudidContextEvaluate's flags[0] (0 for a state refused or failed), or the
 * negative code of a wrong call.
 *
 * RudidVbContextMessage gives the message of a code that
 * RudidVbContextEvaluate gave for `function` in that context, as
 * RudidVbMessage does ("" for 0; the range message, in the installation's
 * units; the failure message followed by ": " and the file of this
 * thread's last failed RudidVbContextEvaluate when it concerned one).
 * Code 0 gives "" for a context, and for context 0 the text of
 * RudidContextMessage(NULL): right after a RudidVbOpen that gave 0, why it
 * failed. Same buffer
 * rules and return value as RudidVbMessage. In VBA (64-bit Office):
 *
 *   Declare PtrSafe Function RudidVbOpen Lib "RUDID32.dll" _
 *       (ByVal directory As String, ByVal units As String, _
 *        ByVal options As Long) As LongPtr
 *   Declare PtrSafe Function RudidVbContextEvaluate Lib "RUDID32.dll" _
 *       (ByVal context As LongPtr, ByVal func As String, ByVal options As Long, _
 *        ByVal arg1 As Double, ByVal arg2 As Double, ByRef code As Long) As Double
 */
RUDID_API RudidContext *RUDID_VB_CALL RudidVbOpen(const char *directory, const char *units, int options);
RUDID_API void RUDID_VB_CALL RudidVbClose(RudidContext *context);
RUDID_API double RUDID_VB_CALL RudidVbContextEvaluate(RudidContext *context, const char *function, int options,
                                                      double arg1, double arg2, int *code);
RUDID_API int RUDID_VB_CALL RudidVbContextFlags(RudidContext *context, const char *function, int options,
                                                double arg1, double arg2);
RUDID_API int RUDID_VB_CALL RudidVbContextMessage(const RudidContext *context, const char *function, int code,
                                                  char *buffer, int size);

/* RudidVbSolveState is RudidSolveStates of one row for VBA: property
 * RUDID_STATE_P ... RUDID_STATE_X of the state that the pair `given` ("hs",
 * "pT", ...) of arg1 and arg2 fixes in the context (0: the process's
 * configuration), with options as RudidContextEvaluate takes them. code
 * (may be NULL): 0 and the property; a negative error code, also as the
 * double, where the property lies outside the tables; RUDID_NO_STATE,
 * RUDID_NO_QUALITY, a failure code, or RUDID_UNKNOWN_FUNCTION /
 * RUDID_BAD_ARGUMENTS for a pair or property it cannot take, with a quiet
 * NaN. Ordinal 135. */
RUDID_API double RUDID_VB_CALL RudidVbSolveState(RudidContext *context, const char *given, int options,
                                                 double arg1, double arg2, int property, int *code);

/* RudidVbContextProperty is RudidContextProperty of one row for VBA: the
 * derived property named `property` ("cp", "viscosity", ...) of the state
 * that the pair `given` ("pT", "pu", "Td", ...) of arg1 and arg2 fixes in
 * the context (0: the process's configuration), with options as
 * RudidContextEvaluate takes them. code (may be NULL): 0 and the property;
 * else the code RudidContextProperty gives (RUDID_TWO_PHASE,
 * RUDID_NOT_SATURATED, an error code, RUDID_NO_STATE, a failure code, or
 * RUDID_UNKNOWN_FUNCTION / RUDID_BAD_ARGUMENTS for a name, pair or options
 * it cannot take) and a quiet NaN. Ordinal 136. */
RUDID_API double RUDID_VB_CALL RudidVbContextProperty(RudidContext *context, const char *property,
                                                      const char *given, int options, double arg1, double arg2,
                                                      int *code);

/* Diagnostics */

/* Code of the last failure of a property function on this thread, 0 when its
 * last call answered (with a property or with a negative error code). */
RUDID_API int RUDID_CALL RudidLastError(void);

/* Message of that failure ("File not found", ...), "" when there was none. */
RUDID_API const char *RUDID_CALL RudidLastErrorMessage(void);

/* The message that start-up stored when default.cfg could not be read in
 * full, "" otherwise. */
RUDID_API const char *RUDID_CALL RudidStartupMessage(void);

/* The data directory that start-up found in ZAREVIRU.INI, with the path
 * separator appended: the tables and default.cfg are read from there. */
RUDID_API const char *RUDID_CALL RudidDataDirectory(void);

#ifdef __cplusplus
}
#endif

#endif /* RUDID32_H */
