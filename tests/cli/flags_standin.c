/* A stand-in for the library's RudidStateFlags (and its batch form), preloaded into the tool by
 * the tests of its caution lines: every call answers the flags named by the
 * environment variable RUDID32_STANDIN_FLAGS, so that each reason and each
 * combination can be shown whatever the tables say. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stddef.h>
#include <stdlib.h>

int RudidStateFlags(const char *name, double arg1, double arg2) {
    (void)name, (void)arg1, (void)arg2;
    const char *flags = getenv("RUDID32_STANDIN_FLAGS");
    return flags ? atoi(flags) : 0;
}

/* The batch form, as the tool's batch asks it for the flags column: the
 * same flags on every row (the tool reads nothing else of this call). */
int RudidEvaluateWithFlags(const char *name, size_t n, const double *arg1, const double *arg2, double *result,
                           int *failure, int *flags) {
    for (size_t i = 0; i < n; ++i) {
        result[i] = 0;
        failure[i] = 0;
        flags[i] = RudidStateFlags(name, arg1[i], arg2 ? arg2[i] : 0);
    }
    return 0;
}

/* The whole state, as the tool's state commands ask it: the library's own
 * answer, with the flags of every property that has a value replaced. */
typedef int (*SolveStates)(void *, const char *, int, size_t, const double *, const double *, double *, int *,
                           int *, int *);
int RudidSolveStates(void *context, const char *given, int options, size_t n, const double *first,
                     const double *second, double *states, int *codes, int *phase, int *flags) {
    const SolveStates library = (SolveStates)dlsym(RTLD_NEXT, "RudidSolveStates");
    const int result = library(context, given, options, n, first, second, states, codes, phase, flags);
    for (size_t i = 0; flags && result >= 0 && i < 6 * n; ++i) flags[i] = codes[i] == 0 ? RudidStateFlags(given, 0, 0) : 0;
    return result;
}
