// The Visual Basic twins of the property functions (RudidVbAQPPT ...) and
// RudidVbMessage in the Linux library: the same answers as the property
// functions, bit for bit, with the outcome as a code; no failure leaves them
// other than as a code and a NaN.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "rudid32.h"

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

using Twin1 = double (*)(double, int *);
using Twin2 = double (*)(double, double, int *);
using Message = int (*)(const char *, int, char *, int);

struct TwinOutcome {
    double value;
    int code;
};

TwinOutcome CallTwin(const LibraryInstance &lib, const std::string &name, double a, double b = 0,
                     bool withCode = true) {
    const std::string symbol = "RudidVb" + name;
    int code = 12345;
    int *codeAddress = withCode ? &code : nullptr;
    const bool one = name == "AQPPT" || name == "AQPTP";
    const double value = one ? lib.Symbol<Twin1>(symbol.c_str())(a, codeAddress)
                             : lib.Symbol<Twin2>(symbol.c_str())(a, b, codeAddress);
    return {value, withCode ? code : 0};
}

std::string MessageOf(const LibraryInstance &lib, const char *function, int code) {
    char buffer[1200];
    const int length = lib.Symbol<Message>("RudidVbMessage")(function, code, buffer, sizeof buffer);
    EXPECT_EQ(length, int(std::strlen(buffer)));
    return buffer;
}

// States that every property function answers with a property, and states
// that each refuses with one error code or another.
struct State {
    double a, b;
};
constexpr State kStates[] = {
    {1, 0.5},  {10, 150},  {100, 0.25}, {150, 2800}, {300, 500},  {0.5, 7.5},
    {-5, 0.5}, {1e4, 100}, {10, -3},    {10, 1e5},   {250, 1.5},  {1, 0.001},
};

TEST(VbTwins, AnswerWithTheBitsOfThePropertyFunctionAndItsErrorCode) {
    const LibraryInstance lib(ShippedSetup());
    int properties = 0, codes = 0;
    for (const std::string &name : ExportNames()) {
        for (const State &state : kStates) {
            const double *expected = lib.Call(name, state.a, state.b);
            ASSERT_NE(expected, nullptr) << name << " " << state.a << " " << state.b;
            const TwinOutcome twin = CallTwin(lib, name, state.a, state.b);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(twin.value), std::bit_cast<std::uint64_t>(*expected))
                << name << "(" << state.a << ", " << state.b << ")";
            const double code = twin.code;
            if (twin.code == 0) {
                EXPECT_GT(*expected, -1000.0) << name << "(" << state.a << ", " << state.b << ")";
                ++properties;
            } else {
                EXPECT_EQ(code, *expected) << name << "(" << state.a << ", " << state.b << ")";
                ++codes;
            }
        }
    }
    // Both kinds of outcome were met often enough to mean something.
    EXPECT_GT(properties, 100);
    EXPECT_GT(codes, 50);
}

TEST(VbTwins, ArgumentsNoSixByteRealHoldsGiveFailureCodeAndNaN) {
    const LibraryInstance &lib = LibraryInstance::Standard();
    const double kInfinity = std::numeric_limits<double>::infinity();
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    for (const State &state : {State{kNaN, 100}, State{10, kInfinity}, State{1e39, 100}, State{-kInfinity, 1}}) {
        const TwinOutcome twin = CallTwin(lib, "AQPPTH", state.a, state.b);
        EXPECT_EQ(twin.code, RUDID_FLOATING_POINT_OVERFLOW) << state.a << " " << state.b;
        EXPECT_TRUE(std::isnan(twin.value));
        EXPECT_EQ(lib.RudidLastError(), RUDID_FLOATING_POINT_OVERFLOW);
        EXPECT_EQ(MessageOf(lib, "AQPPTH", twin.code), "Floating point overflow");
    }
    // Without a place for the code, the call still returns.
    EXPECT_TRUE(std::isnan(CallTwin(lib, "AQPPT", kNaN, 0, false).value));
    EXPECT_EQ(lib.RudidLastError(), RUDID_FLOATING_POINT_OVERFLOW);
}

TEST(VbTwins, MissingTableIsACodeWithAMessageNamingTheFile) {
    InstanceSetup setup = StandardSetup();
    setup.saturationByPressure.reset();
    const LibraryInstance lib(setup);
    const TwinOutcome twin = CallTwin(lib, "AQPPT", 1);
    EXPECT_EQ(twin.code, RUDID_FILE_NOT_FOUND);
    EXPECT_TRUE(std::isnan(twin.value));
    EXPECT_EQ(MessageOf(lib, "AQPPT", twin.code), "File not found: " + lib.dataPrefix() + "zarude.dat");
    // Once another call has answered, the code alone is described.
    EXPECT_EQ(CallTwin(lib, "AQPTP", 100).code, 0);
    EXPECT_EQ(MessageOf(lib, "AQPPT", RUDID_FILE_NOT_FOUND), "File not found");
}

TEST(VbMessage, DescribesErrorCodesForTheFunctionAndFillsShortBuffers) {
    const LibraryInstance &lib = LibraryInstance::Standard();
    EXPECT_EQ(MessageOf(lib, "AQPPT", RUDID_PRESSURE_ABOVE_CRITICAL), "pressure above 221.2 bar, the critical pressure");
    EXPECT_EQ(MessageOf(lib, "AQPPTH", RUDID_PRESSURE_OUT_OF_RANGE), "pressure below 0.01 bar or above 1000 bar");
    EXPECT_EQ(MessageOf(lib, "AQPPT", RUDID_PRESSURE_OUT_OF_RANGE), "pressure below 0.01 bar");
    EXPECT_EQ(MessageOf(lib, nullptr, 0), "");
    EXPECT_EQ(MessageOf(lib, "AQPPT", -1007), "");  // not an error code

    const Message message = lib.Symbol<Message>("RudidVbMessage");
    char small[5] = "xxxx";
    EXPECT_EQ(message("AQPPT", RUDID_READ_BEYOND_END_OF_FILE, small, sizeof small), 23);
    EXPECT_STREQ(small, "Read");
    EXPECT_EQ(message("AQPPT", RUDID_READ_BEYOND_END_OF_FILE, nullptr, 0), 23);
    char untouched[2] = "x";
    EXPECT_EQ(message("AQPPT", RUDID_READ_BEYOND_END_OF_FILE, untouched, 0), 23);
    EXPECT_STREQ(untouched, "x");
}

using VbOpen = RudidContext *(*)(const char *, const char *, int);
using VbClose = void (*)(RudidContext *);
using VbEvaluate = double (*)(RudidContext *, const char *, int, double, double, int *);
using VbFlags = int (*)(RudidContext *, const char *, int, double, double);
using VbContextMessage = int (*)(const RudidContext *, const char *, int, char *, int);
using ContextEvaluate = int (*)(RudidContext *, const char *, int, size_t, const double *, const double *, double *,
                                int *, int *);

std::string ContextMessageOf(const LibraryInstance &lib, const RudidContext *context, const char *function,
                             int code) {
    char buffer[1200];
    const int length = lib.Symbol<VbContextMessage>("RudidVbContextMessage")(context, function, code, buffer,
                                                                             sizeof buffer);
    EXPECT_EQ(length, int(std::strlen(buffer)));
    return buffer;
}

// The twin of one state in a context answers with RudidContextEvaluate's
// bits and flags, for both answers, the process's context and one in psi.
TEST(VbContextTwins, AnswerWithTheBitsAndFlagsOfContextEvaluate) {
    const LibraryInstance lib(ShippedSetup());
    const auto open = lib.Symbol<VbOpen>("RudidVbOpen");
    const auto evaluate = lib.Symbol<VbEvaluate>("RudidVbContextEvaluate");
    const auto flagsOf = lib.Symbol<VbFlags>("RudidVbContextFlags");
    const auto batch = lib.Symbol<ContextEvaluate>("RudidContextEvaluate");
    RudidContext *psi = open("", "pressure=psi", RUDID_REFINED);
    ASSERT_NE(psi, nullptr);
    int codes = 0, properties = 0, flagged = 0, refinedDiffers = 0;
    for (RudidContext *context : {static_cast<RudidContext *>(nullptr), psi}) {
        for (const std::string &name : ExportNames()) {
            for (const State &state : kStates) {
                for (int options : {0, RUDID_TABLE, RUDID_REFINED}) {
                    double expected;
                    int failure = -7, flags = -7;
                    ASSERT_EQ(batch(context, name.c_str(), options, 1, &state.a, &state.b, &expected, &failure,
                                    &flags),
                              0);
                    int code = 12345;
                    const double value = evaluate(context, name.c_str(), options, state.a, state.b, &code);
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
                        << name << "(" << state.a << ", " << state.b << ") options " << options;
                    EXPECT_EQ(flagsOf(context, name.c_str(), options, state.a, state.b), flags) << name;
                    if (code == 0) {
                        ++properties;
                        EXPECT_GT(value, -1000.0);
                    } else {
                        ++codes;
                        EXPECT_EQ(double(code), value) << name;
                    }
                    flagged += flags != 0;
                    if (options == RUDID_REFINED && code == 0) {
                        double table;
                        batch(context, name.c_str(), RUDID_TABLE, 1, &state.a, &state.b, &table, &failure, nullptr);
                        refinedDiffers += table != value;
                    }
                }
            }
        }
    }
    lib.Symbol<VbClose>("RudidVbClose")(psi);
    EXPECT_GT(properties, 200);
    EXPECT_GT(codes, 100);
    EXPECT_GT(flagged, 10);
    EXPECT_GT(refinedDiffers, 50);
}

TEST(VbContextTwins, WrongCallsAndFailuresAreCodesWithMessages) {
    InstanceSetup setup = StandardSetup();
    setup.saturationByPressure.reset();
    const LibraryInstance lib(setup);
    const auto open = lib.Symbol<VbOpen>("RudidVbOpen");
    const auto evaluate = lib.Symbol<VbEvaluate>("RudidVbContextEvaluate");
    const auto flagsOf = lib.Symbol<VbFlags>("RudidVbContextFlags");
    int code = 0;
    EXPECT_TRUE(std::isnan(evaluate(nullptr, "AQPPXX", 0, 1, 1, &code)));
    EXPECT_EQ(code, RUDID_UNKNOWN_FUNCTION);
    EXPECT_EQ(ContextMessageOf(lib, nullptr, "AQPPXX", code), "no property function of that name: AQPPXX");
    EXPECT_TRUE(std::isnan(evaluate(nullptr, "AQPPT", RUDID_TABLE | RUDID_REFINED, 1, 0, &code)));
    EXPECT_EQ(code, RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(flagsOf(nullptr, "AQPPT", RUDID_TABLE | RUDID_REFINED, 1, 0), RUDID_BAD_ARGUMENTS);
    EXPECT_EQ(flagsOf(nullptr, "nothing", 0, 1, 0), RUDID_UNKNOWN_FUNCTION);

    // A failure names the missing table; the last error is untouched.
    EXPECT_TRUE(std::isnan(evaluate(nullptr, "AQPPT", RUDID_REFINED, 1, 0, &code)));
    EXPECT_EQ(code, RUDID_FILE_NOT_FOUND);
    EXPECT_EQ(lib.RudidLastError(), 0);
    EXPECT_EQ(ContextMessageOf(lib, nullptr, "AQPPT", code), "File not found: " + lib.dataPrefix() + "zarude.dat");
    EXPECT_EQ(ContextMessageOf(lib, nullptr, "AQPPT", RUDID_PRESSURE_ABOVE_CRITICAL),
              "pressure above 221.2 bar, the critical pressure");
    // The file is named for the code of the failed call only.
    EXPECT_EQ(ContextMessageOf(lib, nullptr, "AQPPT", RUDID_FILE_ACCESS_DENIED), "File access denied");
    // Without a place for the code the call still returns.
    EXPECT_TRUE(std::isnan(evaluate(nullptr, "AQPPT", 0, 1, 0, nullptr)));

    // An open that fails gives 0, and the message of code 0 says why.
    EXPECT_EQ(open("", "pressure=furlongs", 0), nullptr);
    EXPECT_NE(ContextMessageOf(lib, nullptr, "", 0).find("furlongs"), std::string::npos);
    lib.Symbol<VbClose>("RudidVbClose")(nullptr);  // ignored
}

TEST(VbContextTwins, OnePropertyOfTheWholeStateIsRudidSolveStatesOwn) {
    const LibraryInstance lib(ShippedSetup());
    using VbSolve = decltype(&::RudidVbSolveState);
    const auto solveOne = lib.Symbol<VbSolve>("RudidVbSolveState");
    const auto solve = lib.Symbol<decltype(&::RudidSolveStates)>("RudidSolveStates");
    struct Pair {
        const char *given;
        double a, b;
    };
    // Steam by h and s, wet steam by T and x, a liquid by p and T, no state,
    // and a pair the solver cannot take.
    const Pair pairs[] = {{"hs", 3000, 7}, {"Tx", 100, 0.5}, {"pT", 10, 50}, {"hs", 99999, 7}, {"pp", 1, 2}};
    int answered = 0;
    for (const Pair &pair : pairs)
        for (int options : {RUDID_TABLE, RUDID_REFINED}) {
            double states[RUDID_STATE_PROPERTIES];
            int codes[RUDID_STATE_PROPERTIES];
            const int status = solve(nullptr, pair.given, options, 1, &pair.a, &pair.b, states, codes, nullptr,
                                     nullptr);
            for (int property = 0; property < RUDID_STATE_PROPERTIES; ++property) {
                int code = 12345;
                const double value = solveOne(nullptr, pair.given, options, pair.a, pair.b, property, &code);
                const int expected = status < 0 ? status : codes[property];
                EXPECT_EQ(expected, code) << pair.given << " property " << property;
                if (expected == 0) {
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(states[property]), std::bit_cast<std::uint64_t>(value));
                    ++answered;
                } else {
                    EXPECT_TRUE(std::isnan(value) || value == double(code));
                }
            }
        }
    EXPECT_GT(answered, 25);
    int code = 0;
    EXPECT_TRUE(std::isnan(solveOne(nullptr, "hs", 0, 3000, 7, RUDID_STATE_PROPERTIES, &code)));
    EXPECT_EQ(RUDID_BAD_ARGUMENTS, code);
}

TEST(VbContextTwins, ADerivedPropertyIsRudidSolvePropertiesOwnWithItsCode) {
    const LibraryInstance lib(ShippedSetup());
    const auto one = lib.Symbol<decltype(&::RudidVbContextProperty)>("RudidVbContextProperty");
    const auto all = lib.Symbol<decltype(&::RudidSolveProperties)>("RudidSolveProperties");
    struct Pair {
        const char *given;
        double a, b;
    };
    // Water, wet steam (no cp), a single phase (no surface tension), no state.
    const Pair pairs[] = {{"pT", 1, 25}, {"px", 10, 0.5}, {"pu", 160, 3076}, {"hs", 99999, 7}};
    for (const Pair &pair : pairs) {
        double values[RUDID_DERIVED_PROPERTIES];
        int codes[RUDID_DERIVED_PROPERTIES];
        ASSERT_GE(all(nullptr, pair.given, 0, 1, &pair.a, &pair.b, values, codes, nullptr), 0);
        for (const char *name : {"rho", "cp", "speed of sound", "sigma"}) {
            const int k = lib.Symbol<decltype(&::RudidPropertyIndex)>("RudidPropertyIndex")(name);
            int code = 12345;
            const double value = one(nullptr, name, pair.given, 0, pair.a, pair.b, &code);
            EXPECT_EQ(codes[k], code) << pair.given << " " << name;
            if (code == 0)
                EXPECT_EQ(std::bit_cast<std::uint64_t>(values[k]), std::bit_cast<std::uint64_t>(value));
            else
                EXPECT_TRUE(std::isnan(value));
        }
    }
    int code = 0;
    EXPECT_TRUE(std::isnan(one(nullptr, "enthalpy", "pT", 0, 1, 25, &code)));
    EXPECT_EQ(RUDID_UNKNOWN_FUNCTION, code);
    EXPECT_TRUE(std::isnan(one(nullptr, "cp", "pT", RUDID_TABLE | RUDID_REFINED, 1, 25, &code)));
    EXPECT_EQ(RUDID_BAD_ARGUMENTS, code);
    EXPECT_FALSE(std::isnan(one(nullptr, "cp", "pT", 0, 1, 25, nullptr)));  // code may be NULL
}

}  // namespace
}  // namespace rudid::testing
