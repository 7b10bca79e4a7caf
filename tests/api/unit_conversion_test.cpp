// Arguments are taken in the configured units and results given back in
// them; a quality is never converted.
#include <gtest/gtest.h>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

// The library's own factors (a pound-force of 4.4482 N, a Btu of
// 1055.06 J), not the most precise ones.
constexpr double kBarPerPsi = 4.4482 / 0.00064516 * 0.00001;
constexpr double kPsiPerBar = 1 / kBarPerPsi;
constexpr double kKilojoulePerBtu = 1055.06 / 453.592;
constexpr char kStartupMessage[] = "File is corrupt or missing! \"default.cfg\" is corrupt or missing!";

TEST(UnitsIn, PressureInPsiGivesTheTemperatureOfTheEqualPressureInBar) {
    static const LibraryInstance psi(StandardSetup({.pressure = 10}));
    const double answer = psi.Answer(psi.AQPPT(kPsiPerBar));
    const double bar = Converted(Pressure, 0, kPsiPerBar, "psi");
    EXPECT_EQ(answer, Widened(SaturationAt(psi, bar).field[kSaturationLevel]));
    EXPECT_NEAR(answer, Lib().Answer(Lib().AQPPT(1)), 1e-6);
    EXPECT_NEAR(psi.Answer(psi.AQPPTH(14.5 * 20, 300)), Lib().Answer(Lib().AQPPTH(20 * 14.5 * kBarPerPsi, 300)),
                1e-6);
}

TEST(UnitsIn, FahrenheitArgumentIsConvertedToCelsius) {
    static const LibraryInstance fahrenheit(StandardSetup({.temperature = 2}));
    // 212 degF converts to 100 degC after rounding: the record of 100 degC.
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPTP(212)), Lib().Answer(Lib().AQPTP(100)));
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPTQH(212, 1)), Lib().Answer(Lib().AQPTQH(100, 1)));
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPPTH(500, 1112)), Lib().Answer(Lib().AQPPTH(500, 600)));
}

TEST(UnitsOut, SaturationTemperatureComesBackInFahrenheitAndKelvin) {
    static const LibraryInstance fahrenheit(StandardSetup({.temperature = 2}));
    static const LibraryInstance kelvin(StandardSetup({.temperature = 1}));
    const double celsius = Lib().Answer(Lib().AQPPT(1));
    EXPECT_EQ(fahrenheit.Answer(fahrenheit.AQPPT(1)), Converted(Temperature, 1, celsius, "F"));
    EXPECT_NEAR(fahrenheit.Answer(fahrenheit.AQPPT(1)), celsius * 1.8 + 32, 1e-9);
    EXPECT_EQ(kelvin.Answer(kelvin.AQPPT(1)), Converted(Temperature, 1, celsius, "K"));
    EXPECT_NEAR(kelvin.Answer(kelvin.AQPPT(1)), celsius + 273.15, 1e-9);
}

TEST(UnitsOut, EnthalpyAndEntropyComeBackInBritishUnitsBothWays) {
    static const LibraryInstance british(StandardSetup({.enthalpy = 3, .entropy = 3}));
    const double hg = Lib().Answer(Lib().AQPTQH(100, 1));
    const double btu = british.Answer(british.AQPTQH(100, 1));
    EXPECT_EQ(btu, Converted(SpecificEnthalpy, 1, hg, "Btu/lbm"));
    EXPECT_NEAR(btu, hg / kKilojoulePerBtu, 1e-6);
    const double sg = Lib().Answer(Lib().AQPTQS(100, 1));
    EXPECT_EQ(british.Answer(british.AQPTQS(100, 1)), Converted(SpecificEntropy, 1, sg, "Btu/lbm,F"));

    // An enthalpy given in Btu/lbm inside the two-phase region of 1 bar
    // gives the saturation temperature of 1 bar.
    const double mid = (Lib().Answer(Lib().AQPPQH(1, 0)) + Lib().Answer(Lib().AQPPQH(1, 1))) / 2;
    EXPECT_EQ(british.Answer(british.AQPPHT(1, mid / kKilojoulePerBtu)), Lib().Answer(Lib().AQPPT(1)));
}

TEST(UnitsOut, QualityIsNeverConverted) {
    static const LibraryInstance imperial(StandardSetup({.pressure = 10, .enthalpy = 3, .temperature = 2,
                                                         .entropy = 3, .volume = 4}));
    // 1 bar; liquid at 50 degC, vapour at 300 degC, a mixture in between.
    EXPECT_EQ(imperial.Answer(imperial.AQPPHQ(kPsiPerBar, 210 / kKilojoulePerBtu)), 0.0);
    EXPECT_EQ(imperial.Answer(imperial.AQPPHQ(kPsiPerBar, 3099 / kKilojoulePerBtu)), 1.0);
    const double quality = imperial.Answer(imperial.AQPPHQ(kPsiPerBar, 1500 / kKilojoulePerBtu));
    EXPECT_NEAR(quality, Lib().Answer(Lib().AQPPHQ(1, 1500)), 1e-9);
    // The quality argument means the same vapour fraction in every unit.
    EXPECT_EQ(imperial.Answer(imperial.AQPTQH(212, 0.9)),
              Converted(SpecificEnthalpy, 1, Lib().Answer(Lib().AQPTQH(100, 0.9)), "Btu/lbm"));
}

TEST(UnitSelection, MissingUnitFileSelectsTheFirstNameOfEveryList) {
    InstanceSetup setup = StandardSetup();
    setup.unitFile.reset();
    const LibraryInstance lib(setup);
    EXPECT_STREQ(lib.RudidStartupMessage(), kStartupMessage);
    // bar and degC are internal; the first volume unit is "m3/ton".
    EXPECT_EQ(lib.Answer(lib.AQPPT(1)), Lib().Answer(Lib().AQPPT(1)));
    const double vf = Lib().Answer(Lib().AQPTQV(100, 0));
    EXPECT_EQ(lib.Answer(lib.AQPTQV(100, 0)), Converted(SpecificVolume, 1, vf, "m3/ton"));
    EXPECT_NEAR(lib.Answer(lib.AQPTQV(100, 0)), vf * 1000, 1e-9);
}

TEST(UnitSelection, SelectionOutsideTheListSelectsItsFirstName) {
    // Pressure 12 and temperature -1 fall back to "bar" and "C", volume 5 to
    // "m3/ton" (not the internal "m3/kg").
    const LibraryInstance lib(StandardSetup({.pressure = 12, .temperature = -1, .volume = 5}));
    EXPECT_STREQ(lib.RudidStartupMessage(), "");
    EXPECT_EQ(lib.Answer(lib.AQPPT(1)), Lib().Answer(Lib().AQPPT(1)));
    const double vf = Lib().Answer(Lib().AQPTQV(100, 0));
    EXPECT_EQ(lib.Answer(lib.AQPTQV(100, 0)), Converted(SpecificVolume, 1, vf, "m3/ton"));
}

TEST(UnitSelection, DataDirectoryIsTheConfiguredDirectoryWithASeparator) {
    EXPECT_EQ(std::string(Lib().RudidDataDirectory()), Lib().dataPrefix());
    EXPECT_STREQ(Lib().RudidStartupMessage(), "");
}

}  // namespace
}  // namespace rudid::testing
