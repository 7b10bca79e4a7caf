#include "sweep_units.h"

namespace rudid::cli {

namespace {

struct PressureUnit {
    const char *name;
    double bar;  // bar in one unit of the name
};

constexpr double kPsi = 4.4482 / 0.00064516 * 0.00001;  // lbf per square inch with 1 lbf = 4.4482 N

constexpr PressureUnit kPressureUnits[] = {
    {"bar", 1},         {"Pa", 1e-5},       {"N/m2", 1e-5},        {"MPa", 10},
    {"at", 0.980665},   {"atm", 1.01325},   {"dyn/cm2", 1e-6},     {"kp/cm2", 0.980665},
    {"kp/m2", 0.980665e-4}, {"mmHg", 0.00133332}, {"psi", kPsi},  {"ksi", kPsi * 1000},
};

}  // namespace

double PressureFromBar(double bar, const std::string &unit) {
    for (const PressureUnit &known : kPressureUnits)
        if (unit == known.name) return bar / known.bar;
    return bar;
}

double TemperatureFromCelsius(double celsius, const std::string &unit) {
    if (unit == "K") return celsius + 273.15;
    if (unit == "F") return celsius * 1.8 + 32;
    return celsius;
}

}  // namespace rudid::cli
