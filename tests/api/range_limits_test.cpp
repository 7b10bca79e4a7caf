// Range tests of the property functions: what is answered at the limits of
// the tables, which code comes back just outside them, and that the codes
// come back unchanged whatever units are configured.
#include <gtest/gtest.h>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

// Pressure in "psi", temperature in "F", enthalpy in "Btu/lbm", entropy in
// "Btu/lbm,F", volume in "ft3/lbm".
const LibraryInstance &ImperialLib() {
    static const LibraryInstance lib(StandardSetup({.pressure = 10, .enthalpy = 3, .temperature = 2,
                                                    .entropy = 3, .volume = 4}));
    return lib;
}

TEST(SaturationPressureLimits, BothEndsOfThePressureTableAreAnswered) {
    // The six-byte real of 0.01 lies just above the limit, that of 221.2
    // just below it.
    const Bytes &zarude = StandardSaturationByPressure();
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(0.01)), SaturationValue(zarude, 0, kSaturationLevel));
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(221.2)), SaturationValue(zarude, 291, kSaturationLevel));
    EXPECT_EQ(Lib().Answer(Lib().AQPPQH(221.2, 0.5)),
              RoundedToReal48((SaturationValue(zarude, 291, kLiquidEnthalpy) +
                               (long double)SaturationValue(zarude, 291, kVapourEnthalpy)) / 2));
    EXPECT_GT(Lib().Answer(Lib().AQPPQS(221.2, 0.5)), 0);
    EXPECT_GT(Lib().Answer(Lib().AQPPQV(221.2, 0.5)), 0);
}

TEST(SaturationPressureLimits, LowPressureGivesMinus1001AndHighPressureMinus1004) {
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(0.0099)), kPressureOutOfRange);
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(-5)), kPressureOutOfRange);
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(0)), kPressureOutOfRange);
    EXPECT_EQ(Lib().Answer(Lib().AQPPT(221.3)), kAboveCriticalPressure);
    for (const char *name : {"AQPPQH", "AQPPQS", "AQPPQV"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 0.0099, 0.5)), kPressureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 300, 0.5)), kAboveCriticalPressure);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 221.2001, 0.5)), kAboveCriticalPressure);
    }
}

TEST(SaturationTemperatureLimits, BothEndsOfTheTemperatureTableAreAnswered) {
    // 0 degC comes from the fixed values, 374.15 from the last record.
    EXPECT_NEAR(Lib().Answer(Lib().AQPTP(0)), 0.006108, 1e-12);
    EXPECT_EQ(Lib().Answer(Lib().AQPTP(374.15)),
              SaturationValue(StandardSaturationByTemperature(), 376, kSaturationLevel));
}

TEST(SaturationTemperatureLimits, LowTemperatureGivesMinus1002AndHighTemperatureMinus1005) {
    EXPECT_EQ(Lib().Answer(Lib().AQPTP(-0.001)), kTemperatureOutOfRange);
    EXPECT_EQ(Lib().Answer(Lib().AQPTP(374.2)), kAboveCriticalTemperature);
    for (const char *name : {"AQPTQH", "AQPTQS", "AQPTQV"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, -0.001, 0.5)), kTemperatureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 374.2, 0.5)), kAboveCriticalTemperature);
    }
}

TEST(SaturationTemperatureLimits, FahrenheitFreezingPointIsAcceptedAsZeroCelsius) {
    static const LibraryInstance fahrenheit(StandardSetup({.temperature = 2}));
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPTP(32)), Lib().Answer(Lib().AQPTP(0)));
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPTP(31.9)), kTemperatureOutOfRange);
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPTP(706)), kAboveCriticalTemperature);
}

TEST(SaturationTemperatureLimits, KelvinFreezingPointLiesJustBelowZeroCelsius) {
    // The six-byte real of 273.15 lies below the extended offset 273.15.
    static const LibraryInstance kelvin(StandardSetup({.temperature = 1}));
    EXPECT_EQ(kelvin.Answer(kelvin.AQPTP(273.15)), kTemperatureOutOfRange);
    EXPECT_GT(kelvin.Answer(kelvin.AQPTP(273.16)), 0);
    EXPECT_EQ(kelvin.Answer(kelvin.AQPPTH(1, 273.15)), kTemperatureOutOfRange);
    EXPECT_EQ(kelvin.Answer(kelvin.AQPTQH(647.4, 0.5)), kAboveCriticalTemperature);
}

TEST(QualityLimits, QualityOutsideZeroToOneGivesMinus1003) {
    for (const char *name : {"AQPTQH", "AQPTQS", "AQPTQV", "AQPPQH", "AQPPQS", "AQPPQV"}) {
        SCOPED_TRACE(name);
        const double level = name[3] == 'T' ? 100 : 10;
        EXPECT_EQ(Lib().Answer(Lib().Call(name, level, 1.0001)), kQualityOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, level, -0.0001)), kQualityOutOfRange);
        EXPECT_GT(Lib().Answer(Lib().Call(name, level, 1)), 0);
    }
}

TEST(QualityLimits, TemperatureOrPressureCodeHidesABadQuality) {
    EXPECT_EQ(Lib().Answer(Lib().AQPTQH(-1, 2)), kTemperatureOutOfRange);
    EXPECT_EQ(Lib().Answer(Lib().AQPTQS(375, -2)), kAboveCriticalTemperature);
    EXPECT_EQ(Lib().Answer(Lib().AQPPQH(0.001, 2)), kPressureOutOfRange);
    EXPECT_EQ(Lib().Answer(Lib().AQPPQV(300, 0.5)), kAboveCriticalPressure);
    EXPECT_EQ(Lib().Answer(Lib().AQPPQV(300, 5)), kAboveCriticalPressure);
}

TEST(SinglePhaseLimits, CornersOfTheTableAreAnswered) {
    for (const char *name : {"AQPPTH", "AQPPTS", "AQPPTV"}) {
        SCOPED_TRACE(name);
        EXPECT_GT(Lib().Answer(Lib().Call(name, 1000, 800)), 0);
        EXPECT_GT(Lib().Answer(Lib().Call(name, 1000, 0)), 0);
        EXPECT_GE(Lib().Answer(Lib().Call(name, 0.01, 0)), 0);
        EXPECT_GT(Lib().Answer(Lib().Call(name, 0.01, 800)), 0);
    }
}

TEST(SinglePhaseLimits, PressureOutsideGivesMinus1001OnBothSidesBeforeTheTemperatureTest) {
    for (const char *name : {"AQPPTH", "AQPPTS", "AQPPTV"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 1001, 500)), kPressureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 0.005, 500)), kPressureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 2000, -5)), kPressureOutOfRange);
    }
}

TEST(SinglePhaseLimits, TemperatureOutsideGivesMinus1002OnBothSides) {
    for (const char *name : {"AQPPTH", "AQPPTS", "AQPPTV"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 10, 801)), kTemperatureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 10, -1)), kTemperatureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 300, 800.001)), kTemperatureOutOfRange);
    }
}

TEST(InverseLimits, PressureOutsideGivesMinus1001WithoutConsultingTheTables) {
    // No table could answer 3000 kJ/kg at 1500 bar; the pressure test decides.
    for (const char *name : {"AQPPHT", "AQPPHS", "AQPPHV", "AQPPHQ", "AQPPST", "AQPPSH", "AQPPSV",
                             "AQPPSQ", "AQPPVT", "AQPPVH", "AQPPVS", "AQPPVQ"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 1500, 3000)), kPressureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, 0.005, 1)), kPressureOutOfRange);
        EXPECT_EQ(Lib().Answer(Lib().Call(name, -1, -1)), kPressureOutOfRange);
    }
}

TEST(InverseLimits, KeyOutsideTheIsobarGivesTheCodeOfItsLookupForEveryOutput) {
    struct Family {
        const char *names[4];
        double below, above, code;
    };
    const Family families[] = {
        {{"AQPPHT", "AQPPHS", "AQPPHV", "AQPPHQ"}, -1, 1e6, kEnthalpyOutsideTable},
        {{"AQPPST", "AQPPSH", "AQPPSV", "AQPPSQ"}, -1, 100, kEntropyOutsideTable},
        {{"AQPPVT", "AQPPVH", "AQPPVS", "AQPPVQ"}, -0.5, 1e4, kVolumeOutsideTable},
    };
    for (const Family &family : families)
        for (const char *name : family.names) {
            SCOPED_TRACE(name);
            EXPECT_EQ(Lib().Answer(Lib().Call(name, 10, family.below)), family.code);
            EXPECT_EQ(Lib().Answer(Lib().Call(name, 10, family.above)), family.code);
            EXPECT_EQ(Lib().Answer(Lib().Call(name, 300, family.above)), family.code);
        }
}

TEST(ErrorCodesInOtherUnits, CodesComeBackUnconvertedInImperialUnits) {
    const LibraryInstance &lib = ImperialLib();
    EXPECT_EQ(lib.Answer(lib.AQPPT(0.1)), kPressureOutOfRange);     // 0.0069 bar
    EXPECT_EQ(lib.Answer(lib.AQPPT(3300)), kAboveCriticalPressure);  // 227.5 bar
    EXPECT_EQ(lib.Answer(lib.AQPTP(31.9)), kTemperatureOutOfRange);
    EXPECT_EQ(lib.Answer(lib.AQPTP(706)), kAboveCriticalTemperature);  // 374.4 degC
    EXPECT_EQ(lib.Answer(lib.AQPTQH(212, 1.0001)), kQualityOutOfRange);
    EXPECT_EQ(lib.Answer(lib.AQPPQV(3300, 0.5)), kAboveCriticalPressure);
    EXPECT_EQ(lib.Answer(lib.AQPPTH(15000, 500)), kPressureOutOfRange);  // 1034 bar
    EXPECT_EQ(lib.Answer(lib.AQPPTS(14.5, 1500)), kTemperatureOutOfRange);  // 815.6 degC
    EXPECT_EQ(lib.Answer(lib.AQPPTV(14.5, 31)), kTemperatureOutOfRange);
    EXPECT_EQ(lib.Answer(lib.AQPPHT(14.5, 1e6)), kEnthalpyOutsideTable);
    EXPECT_EQ(lib.Answer(lib.AQPPHQ(14.5, 1e6)), kEnthalpyOutsideTable);
    EXPECT_EQ(lib.Answer(lib.AQPPST(14.5, 100)), kEntropyOutsideTable);
    EXPECT_EQ(lib.Answer(lib.AQPPSV(14.5, -1)), kEntropyOutsideTable);
    EXPECT_EQ(lib.Answer(lib.AQPPVT(14.5, -1)), kVolumeOutsideTable);
    EXPECT_EQ(lib.Answer(lib.AQPPVH(14.5, 1e6)), kVolumeOutsideTable);
}

TEST(ErrorCodesInOtherUnits, SaturationLineCodeComesBackUnconvertedInFahrenheit) {
    const LibraryInstance &lib = ImperialLib();
    const double saturation = lib.Answer(lib.AQPPT(14.5));  // degF
    EXPECT_NEAR(saturation, Lib().Answer(Lib().AQPPT(14.5 * (4.4482 / 0.00064516 * 0.00001))) * 1.8 + 32, 1e-6);
    EXPECT_EQ(lib.Answer(lib.AQPPTH(14.5, saturation)), kOnSaturationLine);
    EXPECT_EQ(lib.Answer(lib.AQPPTS(14.5, saturation)), kOnSaturationLine);
    EXPECT_EQ(lib.Answer(lib.AQPPTV(14.5, saturation)), kOnSaturationLine);
}

TEST(ErrorCodesInOtherUnits, ARefusedStateLeavesNoFailureBehind) {
    const LibraryInstance &lib = ImperialLib();
    EXPECT_EQ(lib.Answer(lib.AQPPHT(14.5, 1e6)), kEnthalpyOutsideTable);
    EXPECT_EQ(lib.RudidLastError(), 0);
    EXPECT_STREQ(lib.RudidLastErrorMessage(), "");
}

}  // namespace
}  // namespace rudid::testing
