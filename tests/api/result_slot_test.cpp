// Where results are kept: one slot per property function and per thread,
// overwritten by the next call of the same function on the same thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <latch>
#include <limits>
#include <thread>
#include <vector>

#include "api/expected_values.h"

namespace rudid::testing {
namespace {

const LibraryInstance &Lib() { return LibraryInstance::Standard(); }

TEST(ResultSlot, NextCallOfTheSameFunctionOverwritesTheSlot) {
    const double *first = Lib().AQPPT(1);
    ASSERT_TRUE(first);
    const double atOneBar = *first;
    const double *second = Lib().AQPPT(10);
    ASSERT_TRUE(second);
    EXPECT_EQ(first, second);
    EXPECT_NE(*first, atOneBar);
    EXPECT_EQ(*second, SaturationValue(StandardSaturationByPressure(), 120, kSaturationLevel));
}

TEST(ResultSlot, ErrorCodeIsStoredInTheSlotLikeAnAnswer) {
    const double *answer = Lib().AQPPT(1);
    const double *refused = Lib().AQPPT(500);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer, refused);
    EXPECT_EQ(*answer, kAboveCriticalPressure);
}

TEST(ResultSlot, EachFunctionHasASlotOfItsOwn) {
    std::vector<const double *> slots;
    std::vector<double> values;
    for (const std::string &name : ExportNames()) {
        const double *slot = Lib().Call(name, 1, 0.5);  // every function answers (1, 0.5)
        ASSERT_TRUE(slot) << name;
        slots.push_back(slot);
        values.push_back(*slot);
    }
    for (std::size_t i = 0; i < slots.size(); ++i) {
        EXPECT_EQ(*slots[i], values[i]) << ExportNames()[i] << " changed by a later call of another function";
        for (std::size_t j = i + 1; j < slots.size(); ++j)
            EXPECT_NE(slots[i], slots[j]) << ExportNames()[i] << " and " << ExportNames()[j];
    }
}

TEST(ResultSlot, AnotherThreadsCallsLeaveThisThreadsSlotAlone) {
    const double *mine = Lib().AQPPTH(1, 50);
    ASSERT_TRUE(mine);
    const double expected = *mine;
    const double *theirs = nullptr;
    bool theirsRight = true;
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) {
            theirs = Lib().AQPPTH(1, 200 + i % 50);
            theirsRight = theirsRight && theirs && *theirs > 2000;
        }
    });
    other.join();
    EXPECT_TRUE(theirsRight);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(*mine, expected);
}

TEST(FailureRecord, FailureRecordIsKeptPerThread) {
    ASSERT_FALSE(Lib().AQPPT(1e39));
    ASSERT_EQ(Lib().RudidLastError(), 205);
    int othersCode = -1;
    std::thread other([&] {
        Lib().AQPPT(1);
        othersCode = Lib().RudidLastError();
    });
    other.join();
    EXPECT_EQ(othersCode, 0);
    EXPECT_EQ(Lib().RudidLastError(), 205);
    EXPECT_STREQ(Lib().RudidLastErrorMessage(), "Floating point overflow");
}

// A call and the outcome it must have: the answer's bits, or no result and
// the failure code.
struct Outcome {
    const char *name;
    double a, b;
    bool answered;
    double value;
    int code;
};

std::vector<Outcome> SingleThreadedOutcomes() {
    const std::pair<const char *, std::pair<double, double>> calls[] = {
        {"AQPPT", {1, 0}},       {"AQPTP", {100, 0}},      {"AQPTQH", {150, 0.3}},  {"AQPTQV", {20, 0.9}},
        {"AQPPQS", {5, 0.5}},    {"AQPPQV", {300, 0.5}},   {"AQPPTH", {1, 95}},     {"AQPPTS", {1, 99.9}},
        {"AQPPTV", {500, 600}},  {"AQPPTH", {1000, 800}},  {"AQPPHT", {1, 2697}},   {"AQPPHQ", {1, 1500}},
        {"AQPPSV", {300, 3.5}},  {"AQPPSQ", {10, 5}},      {"AQPPVH", {1, 0.001093}}, {"AQPPVT", {10, 1e4}},
        {"AQPPT", {1e39, 0}},    {"AQPPHS", {2, std::numeric_limits<double>::quiet_NaN()}},
    };
    std::vector<Outcome> outcomes;
    for (const auto &[name, args] : calls) {
        const double *r = Lib().Call(name, args.first, args.second);
        outcomes.push_back({name, args.first, args.second, r != nullptr, r ? *r : 0, Lib().RudidLastError()});
    }
    return outcomes;
}

TEST(Concurrency, EightThreadsCallingDifferentFunctionsGetTheSingleThreadedResults) {
    const std::vector<Outcome> expected = SingleThreadedOutcomes();
    constexpr int kThreads = 8, kRounds = 150;
    std::atomic<int> mismatches{0};
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round)
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    // Each thread walks the calls from its own starting point.
                    const Outcome &e = expected[(i + std::size_t(t) * 3) % expected.size()];
                    const double *r = Lib().Call(e.name, e.a, e.b);
                    const int code = Lib().RudidLastError();
                    const bool same = (r != nullptr) == e.answered && code == e.code &&
                                      (!r || std::memcmp(r, &e.value, sizeof e.value) == 0);
                    if (!same) ++mismatches;
                }
        });
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace rudid::testing
