/* A few states of water and steam from the shipped tables, through the
 * library's C interface, in the units of data/default.cfg. */
#include <stdio.h>

#include "rudid32.h"

static void show(const char *what, const double *result) {
    if (result)
        printf("  %-52s %14.6f\n", what, *result);
    else
        printf("  %-52s failed: %s (%d)\n", what, RudidLastErrorMessage(), RudidLastError());
}

int main(void) {
    printf("Data directory: %s\n", RudidDataDirectory());
    printf("Saturation\n");
    show("saturation temperature at 1 bar [C]", AQPPT(1.0));
    show("saturation pressure at 100 C [bar]", AQPTP(100.0));
    show("enthalpy of wet steam, 10 bar, quality 0.9 [kJ/kg]", AQPPQH(10.0, 0.9));
    printf("Single phase\n");
    show("enthalpy of compressed water, 100 bar, 50 C [kJ/kg]", AQPPTH(100.0, 50.0));
    show("enthalpy of superheated steam, 10 bar, 300 C [kJ/kg]", AQPPTH(10.0, 300.0));
    show("specific volume, 300 bar, 500 C [m3/kg]", AQPPTV(300.0, 500.0));
    printf("Inverse\n");
    show("temperature at 10 bar, 3000 kJ/kg [C]", AQPPHT(10.0, 3000.0));
    show("quality at 10 bar, 2000 kJ/kg", AQPPHQ(10.0, 2000.0));
    show("temperature after expansion to 0.1 bar, s = 6.5 [C]", AQPPST(0.1, 6.5));
    printf("Out of range\n");
    show("saturation temperature at 300 bar (error code)", AQPPT(300.0));
    return 0;
}
