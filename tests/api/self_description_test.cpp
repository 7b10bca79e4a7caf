// What the library tells about itself must match what it does: the
// functions it lists are the ones it runs, every unit name it offers is one
// it converts, and its messages speak the configured units.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "api/library_instance.h"
#include "rudid32.h"

#define RUDID32_STRINGIFY_TEXT(...) #__VA_ARGS__
#define RUDID32_STRINGIFY(...) RUDID32_STRINGIFY_TEXT(__VA_ARGS__)

namespace rudid::testing {
namespace {

struct Description {
    explicit Description(const LibraryInstance &library)
        : functionCount(library.Symbol<int (*)()>("RudidFunctionCount")),
          functionIndex(library.Symbol<int (*)(const char *)>("RudidFunctionIndex")),
          functionName(library.Symbol<const char *(*)(int)>("RudidFunctionName")),
          functionArity(library.Symbol<int (*)(int)>("RudidFunctionArity")),
          functionArgument(library.Symbol<int (*)(int, int)>("RudidFunctionArgument")),
          functionResult(library.Symbol<int (*)(int)>("RudidFunctionResult")),
          unitCount(library.Symbol<int (*)(int)>("RudidUnitCount")),
          unitName(library.Symbol<const char *(*)(int, int)>("RudidUnitName")),
          selectionWord(library.Symbol<int (*)(int)>("RudidUnitSelectionWord")),
          configuredUnit(library.Symbol<const char *(*)(int)>("RudidConfiguredUnit")),
          toConfigured(library.Symbol<double (*)(int, double)>("RudidToConfiguredUnit")),
          fromConfigured(library.Symbol<double (*)(int, double)>("RudidFromConfiguredUnit")),
          rangeCode(library.Symbol<int (*)(double)>("RudidRangeCode")),
          rangeMessage(library.Symbol<const char *(*)(int, int)>("RudidRangeMessage")),
          failureMessage(library.Symbol<const char *(*)(int)>("RudidFailureMessage")) {}

    int (*functionCount)();
    int (*functionIndex)(const char *);
    const char *(*functionName)(int);
    int (*functionArity)(int);
    int (*functionArgument)(int, int);
    int (*functionResult)(int);
    int (*unitCount)(int);
    const char *(*unitName)(int, int);
    int (*selectionWord)(int);
    const char *(*configuredUnit)(int);
    double (*toConfigured)(int, double);
    double (*fromConfigured)(int, double);
    int (*rangeCode)(double);
    const char *(*rangeMessage)(int, int);
    const char *(*failureMessage)(int);
};

// A default.cfg whose every selection word holds the same value.
Bytes UniformUnitFile(int selection) {
    Bytes bytes;
    for (int word = 0; word < 31; ++word) {
        bytes.push_back(std::uint8_t(selection));
        bytes.push_back(0);
    }
    return bytes;
}

TEST(SelfDescription, ListsExactlyTheFunctionsItExportsWithTheirArity) {
    const LibraryInstance &library = LibraryInstance::Standard();
    const Description d(library);
    ASSERT_EQ(d.functionCount(), int(ExportNames().size()));
    double p[1] = {10}, result[1];
    int failure[1];
    for (int i = 0; i < d.functionCount(); ++i) {
        const std::string name = d.functionName(i);
        EXPECT_EQ(name, ExportNames()[i]);
        EXPECT_NE(library.Symbol<void *>(name.c_str()), nullptr) << name;
        EXPECT_EQ(d.functionIndex(name.c_str()), i);
        std::string lower = name;
        for (char &c : lower) c = char(std::tolower(c));
        EXPECT_EQ(d.functionIndex(lower.c_str()), i);
        // A one-argument function needs no second array; a two-argument
        // function refuses to run without it.
        const int evaluated = library.RudidEvaluate(name.c_str(), 1, p, nullptr, result, failure);
        EXPECT_EQ(evaluated == RUDID_BAD_ARGUMENTS, d.functionArity(i) == 2) << name;
        EXPECT_EQ(d.functionArgument(i, 2) == RUDID_NO_QUANTITY, d.functionArity(i) == 1) << name;
    }
    EXPECT_EQ(d.functionIndex("AQPPXX"), -1);
    EXPECT_EQ(d.functionIndex(nullptr), -1);
    EXPECT_EQ(d.functionName(-1), nullptr);
    EXPECT_EQ(d.functionName(d.functionCount()), nullptr);
    EXPECT_EQ(d.functionArity(d.functionCount()), 0);
    EXPECT_EQ(d.functionResult(-1), RUDID_NO_QUANTITY);
}

TEST(SelfDescription, EveryOfferedUnitIsOneTheLibrarySelectsAndConverts) {
    int checked = 0;
    for (int selection = 0; selection < 12; ++selection) {
        InstanceSetup setup = StandardSetup();
        setup.unitFile = UniformUnitFile(selection);
        const LibraryInstance library(setup);
        const Description d(library);
        for (int q = 0; q < RUDID_QUANTITY_COUNT; ++q) {
            if (selection >= d.unitCount(q)) continue;
            ASSERT_GE(d.selectionWord(q), 0) << q;
            EXPECT_STREQ(d.configuredUnit(q), d.unitName(q, selection)) << q;
            // The name is recognised: it converts, and back again.
            const double configured = d.toConfigured(q, 50.0);
            ASSERT_TRUE(std::isfinite(configured)) << q << " " << d.unitName(q, selection);
            EXPECT_NEAR(d.fromConfigured(q, configured), 50.0, 1e-6) << d.unitName(q, selection);
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST(SelfDescription, ConversionsAreThoseOfThePropertyFunctions) {
    UnitChoice imperial;
    imperial.pressure = 10;     // psi
    imperial.temperature = 2;   // F
    imperial.enthalpy = 3;      // Btu/lbm
    const LibraryInstance library(StandardSetup(imperial));
    const LibraryInstance internal(StandardSetup());
    const Description d(library);
    EXPECT_STREQ(d.configuredUnit(RUDID_PRESSURE), "psi");
    EXPECT_STREQ(d.configuredUnit(RUDID_TEMPERATURE), "F");
    EXPECT_DOUBLE_EQ(d.toConfigured(RUDID_TEMPERATURE, 100), 212);
    const double bar = internal.Answer(internal.AQPTP(150));
    const double psi = library.Answer(library.AQPTP(d.toConfigured(RUDID_TEMPERATURE, 150)));
    EXPECT_NEAR(d.toConfigured(RUDID_PRESSURE, bar), psi, 1e-5 * psi);
    const double h = internal.Answer(internal.AQPPTH(10, 300));
    const double btu = library.Answer(library.AQPPTH(d.toConfigured(RUDID_PRESSURE, 10),
                                                     d.toConfigured(RUDID_TEMPERATURE, 300)));
    EXPECT_NEAR(d.toConfigured(RUDID_SPECIFIC_ENTHALPY, h), btu, 1e-5 * std::fabs(btu));
    EXPECT_EQ(d.toConfigured(RUDID_QUALITY, 0.25), 0.25);
    EXPECT_TRUE(std::isnan(d.toConfigured(11, 1.0)));  // a reserved code has no unit
}

TEST(SelfDescription, RangeCodesAreRecognisedExactly) {
    const Description d(LibraryInstance::Standard());
    for (int code : {-1001, -1002, -1003, -1004, -1005, -1012, -1013, -1014, -1015}) {
        EXPECT_EQ(d.rangeCode(code), code);
        EXPECT_NE(d.rangeMessage(-1, code), nullptr) << code;
    }
    for (double value : {-1006.0, -1011.0, -1000.0, -1016.0, -1001.5, 0.0, 100.0, double(NAN)})
        EXPECT_EQ(d.rangeCode(value), 0) << value;
    EXPECT_EQ(d.rangeMessage(-1, -1006), nullptr);
    // The codes of a state's property without a value are worded, but are
    // never a result.
    for (int code : {RUDID_NO_STATE, RUDID_NO_QUALITY, RUDID_TWO_PHASE, RUDID_NOT_SATURATED,
                     RUDID_NO_FORMULATION_STATE}) {
        EXPECT_EQ(d.rangeCode(code), 0) << code;
        ASSERT_NE(d.rangeMessage(-1, code), nullptr) << code;
        EXPECT_GT(std::strlen(d.rangeMessage(-1, code)), 10u) << code;
    }
}

// The words the tool and Python write for the flags come from the library:
// one each, as the header documents them, and none for what is not a bit.
TEST(SelfDescription, EachFlagBitHasItsWord) {
    const auto flagName = LibraryInstance::Standard().Symbol<const char *(*)(int)>("RudidFlagName");
    const std::pair<int, const char *> words[] = {{RUDID_FLAG_MIXED_PHASE_CELL, "mixed-phase-cell"},
                                                  {RUDID_FLAG_NEAR_SATURATION, "near-saturation"},
                                                  {RUDID_FLAG_CRITICAL_REGION, "critical-region"},
                                                  {RUDID_FLAG_COARSE_GRID, "coarse-grid"},
                                                  {RUDID_FLAG_ILL_POSED, "ill-posed"}};
    for (const auto &[bit, word] : words) EXPECT_STREQ(flagName(bit), word) << bit;
    for (int notABit : {0, 3, 0x20, -1}) EXPECT_EQ(flagName(notABit), nullptr) << notABit;
}

TEST(SelfDescription, RangeMessagesSpeakTheConfiguredUnitsAndTheFunctionsLimits) {
    UnitChoice imperial;
    imperial.pressure = 10;    // psi
    imperial.temperature = 2;  // F
    const LibraryInstance library(StandardSetup(imperial));
    const Description d(library);
    const int saturation = d.functionIndex("AQPPT");
    const int singlePhase = d.functionIndex("AQPPTH");
    EXPECT_STREQ(d.rangeMessage(saturation, RUDID_PRESSURE_ABOVE_CRITICAL),
                 "pressure above 3208.25 psi, the critical pressure");
    EXPECT_STREQ(d.rangeMessage(singlePhase, RUDID_TEMPERATURE_OUT_OF_RANGE),
                 "temperature below 32 F or above 1472 F");
    EXPECT_STREQ(d.rangeMessage(saturation, RUDID_PRESSURE_OUT_OF_RANGE), "pressure below 0.145038 psi");

    const Description internal(LibraryInstance::Standard());
    EXPECT_STREQ(internal.rangeMessage(singlePhase, RUDID_PRESSURE_OUT_OF_RANGE),
                 "pressure below 0.01 bar or above 1000 bar");
    EXPECT_STREQ(internal.rangeMessage(saturation, RUDID_TEMPERATURE_ABOVE_CRITICAL),
                 "temperature above 374.15 C, the critical temperature");
}

TEST(SelfDescription, FailureMessagesCoverEveryCode) {
    const Description d(LibraryInstance::Standard());
    EXPECT_STREQ(d.failureMessage(RUDID_FILE_NOT_FOUND), "File not found");
    EXPECT_STREQ(d.failureMessage(RUDID_READ_BEYOND_END_OF_FILE), "Read beyond end of file");
    EXPECT_STREQ(d.failureMessage(RUDID_FLOATING_POINT_OVERFLOW), "Floating point overflow");
    EXPECT_STREQ(d.failureMessage(RUDID_DEVICE_IO_ERROR), "I/O error 1117");
}

}  // namespace
}  // namespace rudid::testing

namespace rudid::testing {
namespace {

// A program compiled against the header can tell at compile time which
// version it has; the library it runs with says the same.
TEST(SelfDescription, HeaderVersionMacrosAreTheLibrarysVersion) {
    const LibraryInstance &library = LibraryInstance::Standard();
    const std::string header = std::to_string(RUDID32_VERSION_MAJOR) + "." + std::to_string(RUDID32_VERSION_MINOR) +
                               "." + std::to_string(RUDID32_VERSION_PATCH);
    EXPECT_EQ(header, library.Symbol<const char *(*)()>("RudidVersion")());
    EXPECT_EQ(header, RUDID_LIBRARY_VERSION);  // the project's version, as CMake gives it
    EXPECT_EQ(RUDID32_VERSION_NUMBER,
              RUDID32_VERSION_MAJOR * 10000 + RUDID32_VERSION_MINOR * 100 + RUDID32_VERSION_PATCH);
}

// The prototypes name their parameters by quantity, as an IDE shows them.
TEST(SelfDescription, PrototypesNameTheirParametersByQuantity) {
    const std::string text = RUDID32_STRINGIFY(RUDID_PROPERTY_PROTOTYPE(AQPPHT, 12, 2, RUDID_PRESSURE,
                                                                         RUDID_SPECIFIC_ENTHALPY, x));
    EXPECT_NE(text.find("AQPPHT(double pressure, double specific_enthalpy)"), std::string::npos) << text;
}

}  // namespace
}  // namespace rudid::testing
