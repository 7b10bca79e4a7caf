/* A stand-in for the library's RudidStateFlags, preloaded into the tool by
 * the tests of its caution lines: every call answers the flags named by the
 * environment variable RUDID32_STANDIN_FLAGS, so that each reason and each
 * combination can be shown whatever the tables say. */
#include <stdlib.h>

int RudidStateFlags(const char *name, double arg1, double arg2) {
    (void)name, (void)arg1, (void)arg2;
    const char *flags = getenv("RUDID32_STANDIN_FLAGS");
    return flags ? atoi(flags) : 0;
}
