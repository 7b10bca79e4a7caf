/* Two sets of units in one program: a context in SI with refined answers
 * and one in US units, side by side, without touching default.cfg. The
 * same steam, 10 bar and 300 C, answered in each context's units; the
 * program checks that the two agree once converted, and exits 1 if not. */
#include <math.h>
#include <stdio.h>

#include "rudid32.h"

static double one(RudidContext *context, const char *name, double a, double b) {
    double result;
    int failure, flags;
    if (RudidContextEvaluate(context, name, 0, 1, &a, &b, &result, &failure, &flags) != 0) {
        fprintf(stderr, "%s: %s\n", name, RudidContextMessage(context));
        return NAN;
    }
    return result;
}

int main(void) {
    RudidContext *si = RudidOpen(NULL, "pressure=kPa, temperature=K", RUDID_REFINED);
    RudidContext *us = RudidOpen(NULL, "pressure=psi; temperature=F; enthalpy=Btu/lbm; volume=ft3/lbm",
                                 RUDID_REFINED);
    if (!si || !us) {
        fprintf(stderr, "cannot open a context: %s\n", RudidContextMessage(NULL));
        return 1;
    }
    const double h_si = one(si, "AQPPTH", 1000.0, 573.15);              /* kPa, K -> kJ/kg */
    const double h_us = one(us, "AQPPTH", 145.0377377, 572.0);          /* psi, F -> Btu/lbm */
    const double v_si = one(si, "AQPPTV", 1000.0, 573.15);              /* m3/kg */
    const double v_us = one(us, "AQPPTV", 145.0377377, 572.0);          /* ft3/lbm */
    printf("h = %.3f %s = %.3f %s\n", h_si, RudidContextUnit(si, RUDID_SPECIFIC_ENTHALPY), h_us,
           RudidContextUnit(us, RUDID_SPECIFIC_ENTHALPY));
    printf("v = %.5f %s = %.4f %s\n", v_si, RudidContextUnit(si, RUDID_SPECIFIC_VOLUME), v_us,
           RudidContextUnit(us, RUDID_SPECIFIC_VOLUME));
    /* 1 Btu/lbm = 2.326 kJ/kg; 1 ft3/lbm = 0.0624280 m3/kg. */
    const int agree = fabs(h_us * 2.326 - h_si) < 1e-3 * h_si && fabs(v_us * 0.0624280 - v_si) < 1e-3 * v_si;
    RudidClose(si);
    RudidClose(us);
    return agree ? 0 : 1;
}
