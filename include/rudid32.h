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

/* Saturation line */
RUDID_API double *RUDID_CALL AQPPT(double pressure);                      /* saturation temperature */
RUDID_API double *RUDID_CALL AQPTP(double temperature);                   /* saturation pressure */
RUDID_API double *RUDID_CALL AQPTQH(double temperature, double quality);  /* enthalpy of the mixture */
RUDID_API double *RUDID_CALL AQPTQS(double temperature, double quality);  /* entropy of the mixture */
RUDID_API double *RUDID_CALL AQPTQV(double temperature, double quality);  /* specific volume of the mixture */
RUDID_API double *RUDID_CALL AQPPQH(double pressure, double quality);
RUDID_API double *RUDID_CALL AQPPQS(double pressure, double quality);
RUDID_API double *RUDID_CALL AQPPQV(double pressure, double quality);

/* Compressed liquid, superheated and supercritical steam */
RUDID_API double *RUDID_CALL AQPPTH(double pressure, double temperature);
RUDID_API double *RUDID_CALL AQPPTS(double pressure, double temperature);
RUDID_API double *RUDID_CALL AQPPTV(double pressure, double temperature);

/* From pressure and enthalpy, entropy or specific volume: temperature,
 * the other properties and the quality (0 or 1 outside the two-phase
 * region). */
RUDID_API double *RUDID_CALL AQPPHT(double pressure, double enthalpy);
RUDID_API double *RUDID_CALL AQPPHS(double pressure, double enthalpy);
RUDID_API double *RUDID_CALL AQPPHV(double pressure, double enthalpy);
RUDID_API double *RUDID_CALL AQPPHQ(double pressure, double enthalpy);
RUDID_API double *RUDID_CALL AQPPST(double pressure, double entropy);
RUDID_API double *RUDID_CALL AQPPSH(double pressure, double entropy);
RUDID_API double *RUDID_CALL AQPPSV(double pressure, double entropy);
RUDID_API double *RUDID_CALL AQPPSQ(double pressure, double entropy);
RUDID_API double *RUDID_CALL AQPPVT(double pressure, double volume);
RUDID_API double *RUDID_CALL AQPPVH(double pressure, double volume);
RUDID_API double *RUDID_CALL AQPPVS(double pressure, double volume);
RUDID_API double *RUDID_CALL AQPPVQ(double pressure, double volume);

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
