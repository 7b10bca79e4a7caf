// The host's floating-point environment: a call leaves the x87 control word
// as it found it, computes the same bits whatever precision the host runs
// with, and leaves no exception pending for the host to trip over.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "api/expected_values.h"
#include "platform/x87_control.h"
#include "support/x87_state.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

using platform::x87::ClearExceptionFlags;
using rudid::testing::x87::ReadStatusWord;
using platform::x87::WriteControlWord;
using platform::x87::ReadControlWord;

// Runs with the given control word and puts the previous one back, with the
// exception flags cleared so that nothing pending survives the test.
class HostControlWord {
public:
    explicit HostControlWord(std::uint16_t word) : saved_(ReadControlWord()) {
        ClearExceptionFlags();
        WriteControlWord(word);
    }
    ~HostControlWord() {
        ClearExceptionFlags();
        WriteControlWord(saved_);
    }

private:
    std::uint16_t saved_;
};

constexpr std::uint16_t kDoublePrecision = 0x027F;     // 53-bit significand, all masked
constexpr std::uint16_t kTowardZero = 0x0F7F;          // 64-bit, rounding toward zero
constexpr std::uint16_t kTrapsUnmasked = 0x0372;       // invalid, zero divide, overflow unmasked

struct Observed {
    bool answered;
    double value;
    std::uint16_t controlWord;
    std::uint16_t pendingUnmasked;  // exception flags set whose exception is unmasked
};

template <typename Call>
Observed Observe(std::uint16_t word, Call call) {
    Observed seen{};
    {
        HostControlWord host(word);
        const double *r = call();
        seen.controlWord = ReadControlWord();
        seen.pendingUnmasked = std::uint16_t(ReadStatusWord() & ~seen.controlWord & 0x3F);
        seen.answered = r != nullptr;
        seen.value = r ? *r : 0;
    }
    return seen;
}

TEST(HostArithmetic, ControlWordIsUnchangedAfterAnAnswerAndAFailure) {
    for (std::uint16_t word : {kDoublePrecision, kTowardZero, kTrapsUnmasked}) {
        SCOPED_TRACE(::testing::Message() << std::hex << word);
        EXPECT_EQ(Observe(word, [] { return Lib().AQPPTH(1, 95); }).controlWord, word);
        EXPECT_EQ(Observe(word, [] { return Lib().AQPPT(1e39); }).controlWord, word);
        EXPECT_EQ(Observe(word, [] { return Lib().AQPPT(500); }).controlWord, word);
    }
}

TEST(HostArithmetic, ResultsAreTheSameBitsWhateverTheHostsPrecisionAndRounding) {
    const double expected[] = {Lib().Answer(Lib().AQPPTH(1, 95)), Lib().Answer(Lib().AQPPHT(1, 2697)),
                               Lib().Answer(Lib().AQPTQH(150, 0.3))};
    for (std::uint16_t word : {kDoublePrecision, kTowardZero}) {
        SCOPED_TRACE(::testing::Message() << std::hex << word);
        const Observed seen[] = {Observe(word, [] { return Lib().AQPPTH(1, 95); }),
                                 Observe(word, [] { return Lib().AQPPHT(1, 2697); }),
                                 Observe(word, [] { return Lib().AQPTQH(150, 0.3); })};
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(seen[i].answered);
            EXPECT_EQ(seen[i].value, expected[i]) << "call " << i;
        }
    }
}

TEST(HostArithmetic, NoExceptionIsLeftPendingForAHostThatTraps) {
    const double sNaN = std::numeric_limits<double>::signaling_NaN();
    const Observed seen[] = {
        Observe(kTrapsUnmasked, [] { return Lib().AQPPTH(1, 95); }),
        Observe(kTrapsUnmasked, [] { return Lib().AQPPT(1e39); }),
        Observe(kTrapsUnmasked, [=] { return Lib().AQPPTS(1, sNaN); }),
        Observe(kTrapsUnmasked, [] { return Lib().AQPPHT(1, std::numeric_limits<double>::infinity()); }),
    };
    EXPECT_TRUE(seen[0].answered);
    for (int i = 1; i < 4; ++i) EXPECT_FALSE(seen[i].answered) << "call " << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(seen[i].pendingUnmasked, 0) << "call " << i;
}

}  // namespace
}  // namespace rudid::testing
