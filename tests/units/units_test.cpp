#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>

#include "common/failure.h"
#include "common/real48.h"
#include "units/quantity.h"
#include "units/unit_factor_tables.h"
#include "units/unit_recognition.h"
#include "units/unit_selection.h"
#include "units/value_conversion.h"

namespace rudid {
namespace {

std::string Hex(Real48 r) {
    char text[3 * 6];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X %02X %02X", r.bytes[0], r.bytes[1],
                  r.bytes[2], r.bytes[3], r.bytes[4], r.bytes[5]);
    return text;
}

Real48 R(Extended x) { return ExtendedToReal48(x); }
Extended X(Real48 r) { return Real48ToExtended(r); }

// Six bytes that no conversion produces, to see whether an output was written.
constexpr Real48 kUntouched = {{0x00, 0xDE, 0xAD, 0xBE, 0xEF, 0x55}};

QuantityCode Code(int n) { return static_cast<QuantityCode>(n); }

bool IsReservedCode(int n) { return n == 11 || (n >= 15 && n <= 18); }

// ---------------------------------------------------------------- selection

struct Selections {
    std::int16_t words[kUnitSelectionWordCount] = {};
};

std::string NameFor(QuantityCode code, const Selections &s) {
    const char *name = UnitNameFor(code, s.words);
    return name ? name : "<none>";
}

TEST(UnitSelectionTest, SelectionOutsideTheListFallsBackToTheFirstName) {
    Selections s;
    const std::pair<int, const char *> temperature[] = {{0, "C"}, {1, "K"}, {2, "F"},
                                                        {3, "C"}, {-1, "C"}};
    for (const auto &[selection, name] : temperature) {
        s.words[Temperature] = static_cast<std::int16_t>(selection);
        EXPECT_EQ(NameFor(Temperature, s), name) << "selection " << selection;
    }
    // The last index is inclusive.
    s.words[Pressure] = 11;
    EXPECT_EQ(NameFor(Pressure, s), "ksi");
    s.words[Pressure] = 12;
    EXPECT_EQ(NameFor(Pressure, s), "bar");
    s.words[Pressure] = INT16_MIN;
    EXPECT_EQ(NameFor(Pressure, s), "bar");
    s.words[Pressure] = INT16_MAX;
    EXPECT_EQ(NameFor(Pressure, s), "bar");
}

TEST(UnitSelectionTest, AllZeroSelectionsGiveTheFirstNames) {
    const Selections s;
    EXPECT_EQ(NameFor(Pressure, s), "bar");
    EXPECT_EQ(NameFor(Temperature, s), "C");
    EXPECT_EQ(NameFor(SpecificEnthalpy, s), "kJ/kg");
    EXPECT_EQ(NameFor(SpecificEntropy, s), "kJ/kg,K");
    EXPECT_EQ(NameFor(SpecificVolume, s), "m3/ton");  // not the internal m3/kg
    EXPECT_EQ(NameFor(EnergyPerVolume, s), "MWh/m3");
}

TEST(UnitSelectionTest, EachCodeReadsItsOwnWord) {
    for (int code = 0; code < kQuantityCodeCount; ++code) {
        const UnitList list = UnitListFor(Code(code));
        if (list.names == nullptr || code == PerDegree) continue;
        Selections s;
        for (auto &word : s.words) word = 1;
        s.words[code] = 0;  // only the code's own word says "first name"
        EXPECT_STREQ(NameFor(Code(code), s).c_str(), list.names[0]) << "code " << code;
    }
}

TEST(UnitSelectionTest, PerDegreeFollowsTheTemperatureWord) {
    Selections s;
    s.words[Temperature] = 2;
    s.words[PerDegree] = 1;
    EXPECT_EQ(NameFor(PerDegree, s), "F");
    s.words[Temperature] = 1;
    s.words[PerDegree] = 2;
    EXPECT_EQ(NameFor(PerDegree, s), "K");
}

TEST(UnitSelectionTest, CodesWithoutAListGiveNoName) {
    Selections s;
    for (auto &word : s.words) word = 1;
    EXPECT_EQ(NameFor(Dimensionless, s), "");
    for (int code : {11, 15, 16, 17, 18, 26, 255})
        EXPECT_EQ(NameFor(Code(code), s), "<none>") << "code " << code;
}

// -------------------------------------------------------------- recognition

struct Recognition {
    int failed;
    Real48 factor;
};

Recognition Recognise(int code, const char *name) {
    const std::optional<UnitFactor> factor = RecogniseUnit(Code(code), name);
    return factor ? Recognition{0, *factor} : Recognition{1, kUntouched};
}

void ExpectRecognised(int code, const char *name, Extended factor) {
    const Recognition r = Recognise(code, name);
    EXPECT_EQ(r.failed, 0) << "code " << code << " \"" << (name ? name : "(null)") << "\"";
    EXPECT_EQ(Hex(r.factor), Hex(R(factor))) << "code " << code << " \"" << name << "\"";
}

void ExpectRefused(int code, const char *name) {
    EXPECT_EQ(Recognise(code, name).failed, 1) << "code " << code << " \"" << (name ? name : "(null)") << "\"";
}

TEST(NormaliseUnitNameTest, UpperCasesOnlyTheLettersAToZ) {
    char out[32];
    ASSERT_TRUE(NormaliseUnitName("kg/m,s-_.09azAZ", out, sizeof out));
    EXPECT_STREQ(out, "KG/M,S-_.09AZAZ");
    ASSERT_TRUE(NormaliseUnitName("\xC3\xA9t\xE9", out, sizeof out));  // letters outside a..z
    EXPECT_STREQ(out, "\xC3\xA9T\xE9");
    ASSERT_TRUE(NormaliseUnitName("", out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(NormaliseUnitNameTest, ReportsATextLongerThanTheBuffer) {
    char out[4];
    EXPECT_TRUE(NormaliseUnitName("abc", out, sizeof out));
    EXPECT_STREQ(out, "ABC");
    EXPECT_FALSE(NormaliseUnitName("abcd", out, sizeof out));
    EXPECT_EQ(std::strlen(out), 3u);
}

TEST(RecogniseUnitTest, IgnoresCaseButNotBlanksOrPartialNames) {
    for (const char *name : {"bar", "BAR", "Bar", "bAR"}) ExpectRecognised(Pressure, name, 1);
    for (const char *name : {" bar", "bar ", "ba", "bars", "b ar", "", "\tBAR"})
        ExpectRefused(Pressure, name);
    ExpectRefused(Pressure, nullptr);
    // Far longer than any accepted name, with an accepted name as its prefix.
    ExpectRefused(Pressure, "barbarbarbarbarbarbarbarbarbarbarbarbarbar");
    ExpectRecognised(Pressure, "mmhg", 0.00133332L);
}

TEST(RecogniseUnitTest, EachCodeHasItsOwnTable) {
    ExpectRecognised(SpecificEntropy, "J/kg,k", 0.001L);
    ExpectRecognised(EnergyPerVolume, "kWh/m3", 3600);
    ExpectRecognised(EnergyPerVolume, "MWh/m3", 3600000);
    ExpectRecognised(EnergyPerVolume, "J/l", 1);
    ExpectRecognised(VolumeFlow, "m3/h", 1.0L / 3600);
    ExpectRecognised(Viscosity, "kg/m,s", 1);
    ExpectRecognised(Velocity, "INCH/S", 0.0254L);
    ExpectRefused(Velocity, "FEET/S");  // velocity knows FT/S only
    ExpectRecognised(Length, "feet", 0.3048L);
    ExpectRefused(SpecificEnthalpy, "psi");
    ExpectRefused(Length, "M2");
    ExpectRecognised(Power, "lbf-ft/s", 4.4482L * 0.3048L / 1000);
    ExpectRecognised(ThermalConductivity, "btu/ft.s.f", 1055.06L / 0.3048L / 1000 * 1.8L);
}

TEST(RecogniseUnitTest, TemperatureGivesAScaleAndPerDegreeAFactor) {
    ExpectRecognised(Temperature, "C", 0);
    ExpectRecognised(Temperature, "f", 1);
    ExpectRecognised(Temperature, "K", -1);
    ExpectRecognised(PerDegree, "C", 1);
    ExpectRecognised(PerDegree, "F", 1.8L);
    ExpectRecognised(PerDegree, "k", 1);
    ExpectRefused(Temperature, "R");
}

TEST(RecogniseUnitTest, DimensionlessAcceptsOnlyTheEmptyNameWithTheFactorOne) {
    ExpectRecognised(Dimensionless, "", 1);
    ExpectRecognised(Dimensionless, nullptr, 1);
    ExpectRefused(Dimensionless, "bar");
}

TEST(RecogniseUnitTest, CodesWithoutATableRecogniseNothing) {
    for (int code : {11, 15, 16, 17, 18, 26, 255})
        for (const char *name : {"", "M", "BAR", "C"}) ExpectRefused(code, name);
}

TEST(RecogniseUnitTest, EveryNameOfEverySelectionListIsRecognised) {
    int names = 0;
    for (int code = 0; code < kQuantityCodeCount; ++code) {
        const UnitList list = UnitListFor(Code(code));
        EXPECT_EQ(list.names == nullptr, IsReservedCode(code) || code == Dimensionless);
        if (list.names == nullptr) continue;
        for (int i = 0; i <= list.lastIndex; ++i, ++names)
            EXPECT_EQ(Recognise(code, list.names[i]).failed, 0)
                << "code " << code << " \"" << list.names[i] << "\"";
    }
    EXPECT_EQ(names, 107);
}

TEST(RecogniseUnitTest, TablesHoldDistinctWellFormedNames) {
    for (int code = 0; code < kQuantityCodeCount; ++code) {
        const RecognitionTable table = RecognitionTableFor(Code(code));
        EXPECT_EQ(table.rows == nullptr, IsReservedCode(code) || code == Dimensionless);
        std::set<std::string> seen;
        for (int r = 0; r < table.rowCount; ++r) {
            const UnitNameRow &row = table.rows[r];
            ASSERT_NE(row.names[0], nullptr);
            if (code != Temperature) {
                EXPECT_FALSE(IsZero(row.factor)) << row.names[0];
            }
            for (const char *name : row.names) {
                if (name == nullptr) continue;
                EXPECT_TRUE(seen.insert(name).second) << "code " << code << " repeats " << name;
                EXPECT_GT(std::strlen(name), 0u);
                EXPECT_EQ(std::strspn(name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/,.-_"),
                          std::strlen(name))
                    << name;
            }
        }
    }
}

// ------------------------------------------------------------------ factors

// The factor must be the Real48 nearest to the exact derivation. `approx` is
// the derivation evaluated in extended precision, within a few extended ulps
// of the exact value; the factor must lie well within half a Real48 ulp of it.
void ExpectNearest(int code, const char *name, Extended approx) {
    const Recognition r = Recognise(code, name);
    ASSERT_EQ(r.failed, 0) << name;
    const Extended factor = X(r.factor);
    const Extended halfUlp = std::ldexp(1.0L, std::ilogb(factor) - 40);
    EXPECT_LT(std::fabs(factor - approx), halfUlp * (1 - 0x1p-16L))
        << name << ": " << Hex(r.factor);
}

TEST(UnitFactorTest, FactorsAreTheNearestReal48ToTheirDerivations) {
    ExpectNearest(Pressure, "PSI", 4.4482L / 0.00064516L * 0.00001L);
    ExpectNearest(Pressure, "KSI", 4.4482L / 0.00064516L * 0.01L);
    ExpectNearest(Pressure, "MMHG", 0.00133332L);
    ExpectNearest(SpecificEnthalpy, "BTU/LBM", 1055.06L / 453.592L);
    ExpectNearest(SpecificEntropy, "BTU/LBM,R", 1055.06L / 453.592L * 1.8L);
    ExpectNearest(SpecificVolume, "IN3/LBM", 0.0254L * 0.0254L * 0.0254L / 0.453592L);
    ExpectNearest(SpecificVolume, "FT3/LB", 0.3048L * 0.3048L * 0.3048L / 0.453592L);
    ExpectNearest(Velocity, "KM/H", 1 / 3.6L);
    ExpectNearest(MassFlow, "TON/H", 1 / 3.6L);
    ExpectNearest(VolumeFlow, "CFM", 0.3048L * 0.3048L * 0.3048L / 60);
    ExpectNearest(VolumeFlow, "M3/YR", 1.0L / (365 * 86400));
    ExpectNearest(EnergyPerVolume, "HP/CFM", 0.7457L * 60 / (0.3048L * 0.3048L * 0.3048L));
    ExpectNearest(Viscosity, "LBM.S/FT2", 0.453592L / 0.09290304L);
    ExpectNearest(HeatTransferCoefficient, "BTU/FT2,S,F", 1055.06L / 0.09290304L / 1000);
    ExpectNearest(Area, "MILE2", 1609.344L * 1609.344L);
    ExpectNearest(Power, "ERG/S", 1e-10L);
}

TEST(UnitFactorTest, SomeFactorsByteForByte) {
    const struct {
        int code;
        const char *name;
        Real48 bytes;
    } cases[] = {
        {Pressure, "psi", {{0x7D, 0x40, 0x9F, 0x35, 0x34, 0x0D}}},
        {SpecificEnthalpy, "Btu/lbm", {{0x82, 0x8C, 0x69, 0x5D, 0xDD, 0x14}}},
        {Velocity, "km/h", {{0x7F, 0x39, 0x8E, 0xE3, 0x38, 0x0E}}},
        {VolumeFlow, "cfm", {{0x75, 0xFB, 0xAB, 0xB6, 0x6F, 0x77}}},
        {SpecificVolume, "m3/ton", {{0x77, 0x8D, 0x97, 0x6E, 0x12, 0x03}}},
        {Temperature, "K", {{0x81, 0x00, 0x00, 0x00, 0x00, 0x80}}},
    };
    for (const auto &c : cases) {
        const Recognition r = Recognise(c.code, c.name);
        EXPECT_EQ(r.failed, 0) << c.name;
        EXPECT_EQ(Hex(r.factor), Hex(c.bytes)) << c.name;
    }
}

// --------------------------------------------------------------- conversion

Real48 FactorOf(int code, const char *name) {
    const std::optional<UnitFactor> factor = RecogniseUnit(Code(code), name);
    EXPECT_TRUE(factor.has_value()) << name;
    return factor.value_or(kUntouched);
}

// A six-byte real converted in, or out, with the factor of the named unit.
Real48 In(int code, Extended value, const char *name) {
    return R(ToInternalUnit(Code(code), X(R(value)), X(FactorOf(code, name))));
}
Real48 Out(int code, Extended value, const char *name) {
    return R(FromInternalUnit(Code(code), X(R(value)), X(FactorOf(code, name))));
}

TEST(ConversionTest, PlainFactorsMultiplyInAndDivideOut) {
    const Real48 psi = FactorOf(Pressure, "PSI");
    EXPECT_EQ(Hex(In(Pressure, 1, "psi")), Hex(psi));
    EXPECT_EQ(Hex(Out(Pressure, X(psi), "psi")), Hex(R(1)));
    EXPECT_EQ(Hex(Out(Pressure, 100, "MPa")), Hex(R(10)));
    EXPECT_EQ(Hex(In(Pressure, 10, "MPa")), Hex(R(100)));
    EXPECT_EQ(Hex(In(SpecificVolume, 1, "m3/ton")), Hex(R(0.001L)));
    EXPECT_EQ(Hex(Out(SpecificVolume, X(R(0.001L)), "m3/ton")), Hex(R(1)));
    EXPECT_EQ(Hex(In(SpecificEnthalpy, 1, "Btu/lbm")), Hex(FactorOf(SpecificEnthalpy, "BTU/LBM")));
    // One rounding of the extended product: 3 psi.
    EXPECT_EQ(Hex(In(Pressure, 3, "psi")), Hex(R(3 * X(psi))));
    // Per degree is a plain factor: 1.8 without an offset, and back.
    EXPECT_EQ(Hex(In(PerDegree, 1, "F")), Hex(R(1.8L)));
    EXPECT_EQ(Hex(Out(PerDegree, X(R(1.8L)), "F")), Hex(R(1)));
}

TEST(ConversionTest, Fahrenheit) {
    EXPECT_EQ(Hex(In(Temperature, 212, "F")), Hex(R(100)));
    EXPECT_EQ(Hex(Out(Temperature, 100, "F")), Hex(R(212)));
    EXPECT_EQ(Hex(In(Temperature, -40, "f")), Hex(R(-40)));
    EXPECT_EQ(Hex(Out(Temperature, -40, "f")), Hex(R(-40)));
    EXPECT_EQ(Hex(In(Temperature, 32, "F")), Hex(R(0)));
    // 50 F: (18 x 5) x (1/9) in extended, rounded once, is exactly 10.
    EXPECT_EQ(Hex(In(Temperature, 50, "F")), Hex(R(10)));
}

TEST(ConversionTest, Kelvin) {
    const Real48 nearest27315 = {{0x89, 0x33, 0x33, 0x33, 0x93, 0x08}};
    Real48 minus27315 = nearest27315;
    minus27315.bytes[5] |= 0x80;
    EXPECT_EQ(Hex(In(Temperature, 0, "K")), Hex(minus27315));
    EXPECT_EQ(Hex(Out(Temperature, 0, "K")), Hex(nearest27315));

    // 273.15 K given as a double: its Real48 lies below the extended offset,
    // so the internal temperature comes out slightly negative.
    const Extended internal = X(In(Temperature, 273.15, "K"));
    EXPECT_LT(internal, 0);
    EXPECT_NEAR(static_cast<double>(internal), -9.3e-11, 0.1e-11);
}

TEST(ConversionTest, CelsiusLeavesTheValueAsItIs) {
    for (Extended v : {0.0L, 25.5L, -17.25L, -273.15L}) {
        EXPECT_EQ(Hex(In(Temperature, v, "C")), Hex(R(v)));
        EXPECT_EQ(Hex(Out(Temperature, v, "c")), Hex(R(v)));
    }
}

TEST(ConversionTest, OverflowRaisesAndUnderflowGivesZero) {
    const Real48 largest = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}};
    const Real48 smallest = {{0x01, 0x00, 0x00, 0x00, 0x00, 0x00}};
    const auto expectOverflow = [](auto convert, const char *what) {
        try {
            convert();
            ADD_FAILURE() << "no overflow for " << what;
        } catch (const LibraryFailure &failure) {
            EXPECT_EQ(failure.code, kFloatingPointOverflow) << what;
        }
    };
    expectOverflow([&] { ToInternalUnit(Length, X(largest), X(FactorOf(Length, "KM"))); }, "into km");
    expectOverflow([&] { FromInternalUnit(Length, X(largest), X(FactorOf(Length, "MM"))); }, "out of mm");
    EXPECT_EQ(Hex(In(Length, X(smallest), "MM")), Hex(Real48{}));
    EXPECT_EQ(Hex(In(Length, X(largest), "M")), Hex(largest));
}

}  // namespace
}  // namespace rudid
