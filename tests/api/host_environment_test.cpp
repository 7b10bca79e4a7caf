// The host's floating-point environment at load and at every call: a fresh
// copy of the library, loaded while the host runs with another x87 control
// word, rounding mode or SSE control register (and calls with it), answers
// the whole call corpus with the same bits and failure codes as a copy
// loaded under the default environment; every export leaves the host's
// control words and exception flags exactly as they were; and a host that
// unmasks invalid operations gets answers, never SIGFPE.
#include <gtest/gtest.h>

#include <fenv.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "api/library_instance.h"
#include "platform/sse_control.h"
#include "platform/x87_control.h"
#include "windows/corpus.h"

namespace rudid::testing {
namespace {

namespace fpu = platform::x87;
namespace sse = platform::sse;

// What the host runs with while it loads the library and calls it.
struct HostEnvironment {
    const char *name;
    std::uint16_t x87ControlWord;
    std::uint32_t mxcsr;
    int rounding;  // for fesetround after the words, or -1
};

constexpr std::uint32_t kMxcsrDefault = 0x1F80;
constexpr std::uint32_t kFlushToZero = 0x8000;
constexpr std::uint32_t kDenormalsAreZero = 0x0040;
constexpr std::uint32_t kMxcsrTowardZero = 0x6000;

const HostEnvironment kHosts[] = {
    {"x87 0x037F", 0x037F, kMxcsrDefault, -1},
    {"x87 0x027F (53-bit significand)", 0x027F, kMxcsrDefault, -1},
    {"x87 0x007F (24-bit significand)", 0x007F, kMxcsrDefault, -1},
    {"x87 0x0E7F (53-bit, toward zero)", 0x0E7F, kMxcsrDefault, -1},
    {"x87 0x0B7F (round up)", 0x0B7F, kMxcsrDefault, -1},
    {"x87 0x1332 (invalid, zero divide, overflow unmasked)", 0x1332, kMxcsrDefault, -1},
    {"fesetround downward", 0x037F, kMxcsrDefault, FE_DOWNWARD},
    {"fesetround upward", 0x037F, kMxcsrDefault, FE_UPWARD},
    {"MXCSR flush to zero, denormals are zero, toward zero", 0x037F,
     kMxcsrDefault | kFlushToZero | kDenormalsAreZero | kMxcsrTowardZero, -1},
};

// The exception flags a host may have when it calls: none, or precision and
// underflow (masked under every host word above).
constexpr std::uint16_t kHostX87Flags = 0x0030;
constexpr std::uint32_t kHostSseFlags = 0x0030;

void SetX87Flags(std::uint16_t flags) {
    fpu::ClearExceptionFlags();
    if (flags) fpu::RestoreControlAndFlags(fpu::ReadControlWord(), flags);
}

// Puts the host environment in force for its lifetime, and the test
// program's own back after.
class HostScope {
public:
    explicit HostScope(const HostEnvironment &host)
        : x87Word_(fpu::ReadControlWord()), mxcsr_(sse::ReadControlStatus()) {
        fpu::ClearExceptionFlags();
        fpu::WriteControlWord(host.x87ControlWord);
        sse::WriteControlStatus(host.mxcsr);
        if (host.rounding >= 0) fesetround(host.rounding);
    }
    ~HostScope() {
        fpu::ClearExceptionFlags();
        fpu::WriteControlWord(x87Word_);
        sse::WriteControlStatus(mxcsr_);
    }

private:
    std::uint16_t x87Word_;
    std::uint32_t mxcsr_;
};

// The host's words and flags just before a call and just after it.
struct Words {
    std::uint16_t control;
    std::uint16_t flags;
    std::uint32_t mxcsr;
    bool operator==(const Words &) const = default;
};

Words ReadWords() {
    return {fpu::ReadControlWord(), std::uint16_t(fpu::ReadStatusWord() & fpu::kExceptionFlags),
            sse::ReadControlStatus()};
}

// Runs one export with the host's flags set or clear, and records a change
// of the host's words or flags.
template <typename Call>
auto Guarded(bool withFlags, std::vector<std::string> *changes, const std::string &what, Call call) {
    const std::uint32_t mxcsr = sse::ReadControlStatus() & ~0x3Fu;
    SetX87Flags(withFlags ? kHostX87Flags : 0);
    sse::WriteControlStatus(mxcsr | (withFlags ? kHostSseFlags : 0));
    const Words before = ReadWords();
    const auto result = call();
    const Words after = ReadWords();
    fpu::ClearExceptionFlags();
    sse::WriteControlStatus(mxcsr);
    if (!(after == before) && changes->size() < 10) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: x87 %04x/%02x MXCSR %04x before, %04x/%02x %04x after",
                      what.c_str(), before.control, before.flags, before.mxcsr, after.control, after.flags,
                      after.mxcsr);
        changes->push_back(text);
    }
    return result;
}

const std::vector<corpus::Call> &Corpus() {
    static const std::vector<corpus::Call> calls = [] {
        std::vector<corpus::Call> read;
        std::FILE *in = std::fopen(RUDID_CORPUS_FILE, "r");
        if (in == nullptr || !corpus::ReadCorpus(in, &read)) read.clear();
        if (in) std::fclose(in);
        return read;
    }();
    return calls;
}

// The bits of each answer, or the failure code in place of a result.
struct Outcome {
    bool failed;
    std::uint64_t bits;
    bool operator==(const Outcome &) const = default;
};

std::vector<Outcome> RunCorpus(const LibraryInstance &lib, std::vector<std::string> *changes) {
    std::vector<Outcome> outcomes;
    int n = 0;
    for (const corpus::Call &call : Corpus()) {
        const char *name = corpus::kExports[call.exportIndex].name;
        const double *result =
            Guarded(++n % 2 == 0, changes, call.text, [&] { return lib.Call(name, call.args[0], call.args[1]); });
        if (result)
            outcomes.push_back({false, std::bit_cast<std::uint64_t>(*result)});
        else
            outcomes.push_back({true, std::uint64_t(lib.RudidLastError())});
    }
    return outcomes;
}

// The helpers besides the property functions, each once with and once
// without host flags.
void CallHelpers(const LibraryInstance &lib, std::vector<std::string> *changes) {
    const auto rangeCode = lib.Symbol<decltype(&::RudidRangeCode)>("RudidRangeCode");
    const auto stateFlags = lib.Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags");
    const auto toUnit = lib.Symbol<decltype(&::RudidToConfiguredUnit)>("RudidToConfiguredUnit");
    const auto fromUnit = lib.Symbol<decltype(&::RudidFromConfiguredUnit)>("RudidFromConfiguredUnit");
    const auto rangeMessage = lib.Symbol<decltype(&::RudidRangeMessage)>("RudidRangeMessage");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double sNaN = std::numeric_limits<double>::signaling_NaN();
    const double rows[2] = {1, 300};
    double results[2];
    int failures[2];
    for (bool flags : {false, true}) {
        Guarded(flags, changes, "RudidRangeCode(NaN)", [&] { return rangeCode(nan); });
        Guarded(flags, changes, "RudidRangeCode(-1001)", [&] { return rangeCode(-1001); });
        Guarded(flags, changes, "RudidStateFlags", [&] { return stateFlags("AQPPTH", 221, 374); });
        Guarded(flags, changes, "RudidStateFlags(sNaN)", [&] { return stateFlags("AQPPT", sNaN, 0); });
        Guarded(flags, changes, "RudidToConfiguredUnit", [&] { return toUnit(RUDID_PRESSURE, 1.1); });
        Guarded(flags, changes, "RudidFromConfiguredUnit(sNaN)", [&] { return fromUnit(RUDID_PRESSURE, sNaN); });
        Guarded(flags, changes, "RudidRangeMessage", [&] { return rangeMessage(-1, RUDID_PRESSURE_OUT_OF_RANGE); });
        Guarded(flags, changes, "RudidEvaluate",
                [&] { return lib.RudidEvaluate("AQPPT", 2, rows, nullptr, results, failures); });
    }
}

TEST(HostEnvironment, EveryEnvironmentAtLoadAndCallGivesTheDefaultAnswersAndKeepsTheHostsWords) {
    ASSERT_GT(Corpus().size(), 1000u);
    std::vector<std::string> changes;
    const LibraryInstance reference(ShippedSetup());
    const std::vector<Outcome> expected = RunCorpus(reference, &changes);
    for (const HostEnvironment &host : kHosts) {
        SCOPED_TRACE(host.name);
        std::vector<Outcome> got;
        {
            HostScope scope(host);
            const LibraryInstance lib(ShippedSetup());
            got = RunCorpus(lib, &changes);
            CallHelpers(lib, &changes);
        }
        int mismatches = 0;
        for (std::size_t i = 0; i < got.size(); ++i)
            if (!(got[i] == expected[i]) && ++mismatches <= 5)
                ADD_FAILURE() << "corpus line " << Corpus()[i].line << " (" << Corpus()[i].text
                              << ") differs from the library loaded under the default environment";
        EXPECT_EQ(mismatches, 0);
        for (const std::string &change : changes) ADD_FAILURE() << change;
        changes.clear();
    }
}

// A host that unmasks invalid operations, division by zero and overflow
// (on both the x87 unit and SSE) and hands NaNs around must not be killed.
TEST(HostEnvironment, AHostThatUnmasksInvalidOperationsGetsAnswersNotSigfpe) {
    // Every isobar's enthalpies NaN: the inverse lookup meets them.
    InstanceSetup setup = ShippedSetup();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t at = 4; at + 4 <= setup.singlePhase->size(); at += 12)
        std::memcpy(setup.singlePhase->data() + at, &nan, 4);
    const LibraryInstance lib(setup);
    const auto rangeCode = lib.Symbol<decltype(&::RudidRangeCode)>("RudidRangeCode");
    const auto stateFlags = lib.Symbol<decltype(&::RudidStateFlags)>("RudidStateFlags");
    const auto toUnit = lib.Symbol<decltype(&::RudidToConfiguredUnit)>("RudidToConfiguredUnit");
    EXPECT_EXIT(
        {
            const double qNaN = std::numeric_limits<double>::quiet_NaN();
            const double sNaN = std::numeric_limits<double>::signaling_NaN();
            feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
            bool right = rangeCode(qNaN) == 0 && rangeCode(sNaN) == 0;
            right = right && stateFlags("AQPPT", sNaN, 0) == 0 && stateFlags("AQPPTH", sNaN, sNaN) == 0;
            const double converted = toUnit(RUDID_PRESSURE, sNaN);
            right = right && std::bit_cast<std::uint64_t>(converted) != 0;
            const double *answer = lib.AQPPHT(250, 1500);
            right = right && answer == nullptr && lib.RudidLastError() == RUDID_FLOATING_POINT_OVERFLOW;
            fedisableexcept(FE_ALL_EXCEPT);
            // _exit: the copy of the parent's scratch directories must outlive the child.
            _exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// The conversions have no failure of their own: a value they cannot convert
// gives NaN, for every quantity with units and in either direction.
TEST(HostEnvironment, ConversionsAnswerNaNForWhatNoSixByteRealHolds) {
    UnitChoice units;
    units.pressure = 10;  // psi: a factor that is not 1
    units.enthalpy = 3;
    units.temperature = 2;
    const LibraryInstance lib(StandardSetup(units));
    const auto toUnit = lib.Symbol<decltype(&::RudidToConfiguredUnit)>("RudidToConfiguredUnit");
    const auto fromUnit = lib.Symbol<decltype(&::RudidFromConfiguredUnit)>("RudidFromConfiguredUnit");
    const auto unitCount = lib.Symbol<decltype(&::RudidUnitCount)>("RudidUnitCount");
    const double unconvertible[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(), 0x1p127, -0x1p127, 1e300};
    int quantities = 0;
    for (int quantity = 0; quantity < RUDID_QUANTITY_COUNT; ++quantity) {
        if (unitCount(quantity) == 0) continue;
        ++quantities;
        for (double value : unconvertible) {
            EXPECT_TRUE(std::isnan(toUnit(quantity, value))) << "quantity " << quantity << " value " << value;
            EXPECT_TRUE(std::isnan(fromUnit(quantity, value))) << "quantity " << quantity << " value " << value;
        }
    }
    EXPECT_GT(quantities, 15);
    // Within the range, the conversion still answers: 1 bar in psi.
    EXPECT_NEAR(toUnit(RUDID_PRESSURE, 1), 14.5038, 1e-3);
}

}  // namespace
}  // namespace rudid::testing
